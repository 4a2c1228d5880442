'use strict';
// Our own canvas drawing: bars, an individuals chart, a histogram. Few points (at most
// 500 readings, 24 hours, 30 bins), so everything is drawn anew each time.

const Plots = (() => {
  const PAD = { left: 70, right: 12, top: 12, bottom: 28 };

  function frame(canvas) {
    const g = canvas.getContext('2d');
    g.clearRect(0, 0, canvas.width, canvas.height);
    g.font = '13px sans-serif';
    g.fillStyle = '#1d2129';
    g.strokeStyle = '#c9cdd4';
    g.strokeRect(PAD.left, PAD.top, canvas.width - PAD.left - PAD.right, canvas.height - PAD.top - PAD.bottom);
    return g;
  }

  function scale(canvas, min, max) {
    const h = canvas.height - PAD.top - PAD.bottom;
    const span = max > min ? max - min : 1;
    return v => PAD.top + h - ((v - min) / span) * h;
  }

  function label(g, text, x, y, align) {
    g.textAlign = align || 'right';
    g.fillText(text, x, y);
  }

  // Yield per hour: [{hour, readings, pass}]
  function hours(canvas, rows) {
    const g = frame(canvas);
    const w = canvas.width - PAD.left - PAD.right;
    const y = scale(canvas, 0, 1);
    for (const v of [0, 0.5, 1]) label(g, (100 * v) + '%', PAD.left - 6, y(v) + 4);
    const slot = w / 24;
    for (const r of rows) {
      const hour = new Date(r.hour).getHours();
      const share = r.readings ? r.pass / r.readings : 0;
      g.fillStyle = share >= 0.95 ? '#2e7d32' : '#c62828';
      g.fillRect(PAD.left + hour * slot + 2, y(share), slot - 4, y(0) - y(share));
    }
    g.fillStyle = '#1d2129';
    for (let h = 0; h < 24; h += 3) label(g, String(h), PAD.left + h * slot + slot / 2, canvas.height - 8, 'center');
  }

  // Individuals: values with centre line and ±3σ̂ lines; beyond them red, HIGH/LOW marked.
  function individuals(canvas, points, centre, sigma, format) {
    const g = frame(canvas);
    if (!points.length) return;
    const values = points.map(p => p[1]);
    let min = Math.min(...values), max = Math.max(...values);
    if (sigma > 0) { min = Math.min(min, centre - 3 * sigma); max = Math.max(max, centre + 3 * sigma); }
    const pad = (max - min) * 0.05 || Math.abs(max) * 1e-4 || 1e-6;
    min -= pad; max += pad;
    const y = scale(canvas, min, max);
    const w = canvas.width - PAD.left - PAD.right;
    const x = i => PAD.left + (points.length > 1 ? (i / (points.length - 1)) * w : w / 2);
    const lines = sigma > 0 ? [centre - 3 * sigma, centre, centre + 3 * sigma] : [centre];
    g.setLineDash([5, 4]);
    for (const v of lines) {
      g.strokeStyle = v === centre ? '#2e7d32' : '#c62828';
      g.beginPath(); g.moveTo(PAD.left, y(v)); g.lineTo(PAD.left + w, y(v)); g.stroke();
      label(g, format(v), PAD.left - 6, y(v) + 4);
    }
    g.setLineDash([]);
    g.strokeStyle = '#4e5969';
    g.beginPath();
    points.forEach((p, i) => (i ? g.lineTo(x(i), y(p[1])) : g.moveTo(x(i), y(p[1]))));
    g.stroke();
    points.forEach((p, i) => {
      const out = sigma > 0 && Math.abs(p[1] - centre) > 3 * sigma;
      g.fillStyle = out ? '#c62828' : '#1d2b4f';
      g.beginPath(); g.arc(x(i), y(p[1]), out ? 4 : 2.5, 0, 2 * Math.PI); g.fill();
      if (p[2] === 'HIGH' || p[2] === 'LOW') {
        g.strokeStyle = '#f57c00';
        g.strokeRect(x(i) - 5, y(p[1]) - 5, 10, 10);
      }
    });
  }

  // Bins as the statistics window lays them: twenty between the limits and five either
  // side, else thirty over the readings' range.
  function layout(values, lower, upper) {
    if (lower != null && upper != null && lower < upper) {
      const width = (upper - lower) / 20;
      return { low: lower - 5 * width, width, bins: 30 };
    }
    const min = Math.min(...values), max = Math.max(...values);
    if (max > min) { const width = (max - min) / 28; return { low: min - width, width, bins: 30 }; }
    const width = min !== 0 ? Math.abs(min) * 1e-4 : 1e-6;
    return { low: min - 15 * width, width, bins: 30 };
  }

  function histogram(canvas, values, lower, upper, format) {
    const g = frame(canvas);
    if (!values.length) return { under: 0, over: 0 };
    const l = layout(values, lower, upper);
    const counts = new Array(l.bins).fill(0);
    let under = 0, over = 0;
    for (const v of values) {
      if (v < l.low) { under++; continue; }
      const i = Math.floor((v - l.low) / l.width);
      if (i >= l.bins) over++; else counts[i]++;
    }
    const top = Math.max(1, ...counts);
    const y = scale(canvas, 0, top);
    const w = canvas.width - PAD.left - PAD.right;
    const slot = w / l.bins;
    counts.forEach((c, i) => {
      const mid = l.low + (i + 0.5) * l.width;
      g.fillStyle = (lower != null && mid < lower) || (upper != null && mid > upper) ? '#c62828' : '#1d6fb8';
      g.fillRect(PAD.left + i * slot + 1, y(c), slot - 2, y(0) - y(c));
    });
    g.fillStyle = '#1d2129';
    label(g, String(top), PAD.left - 6, y(top) + 4);
    label(g, format(l.low), PAD.left, canvas.height - 8, 'left');
    label(g, format(l.low + l.width * l.bins), canvas.width - PAD.right, canvas.height - 8, 'right');
    return { under, over };
  }

  return { hours, individuals, histogram };
})();
