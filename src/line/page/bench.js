'use strict';
// One bench on one day: the statistics window's figures, yield per hour, the individuals
// chart and the histogram of the last 500 readings. Today's page follows new readings.

const NONE = '—';
const bench = decodeURIComponent(location.pathname.slice('/bench/'.length));
const picker = document.getElementById('date');

function localDay(d) {
  return d.getFullYear() + '-' + String(d.getMonth() + 1).padStart(2, '0') + '-' + String(d.getDate()).padStart(2, '0');
}

// A reading with its unit, six significant digits, as the statistics window shows it.
function readable(value, mode) {
  if (value == null) return NONE;
  if (mode === '%') return Number(value.toPrecision(6)) + '%';
  const size = Math.abs(value);
  const [factor, unit] = size < 1 ? [1e-3, 'mΩ'] : size < 1e3 ? [1, 'Ω'] : size < 1e6 ? [1e3, 'KΩ'] : [1e6, 'MΩ'];
  return Number((value / factor).toPrecision(6)) + unit;
}
function share(count, total) { return total > 0 ? (100 * count / total).toFixed(2) + '%' : NONE; }
function index(v) { return v == null ? NONE : v.toFixed(2); }

function figures(d) {
  const rows = [
    ['范围', d.date + ' · ' + (d.mode === '%' ? '%' : 'R')],
    ['记录数', String(d.records)],
    ['HIGH', d.high + '  ' + share(d.high, d.records)],
    ['PASS', d.pass + '  ' + share(d.pass, d.records)],
    ['LOW', d.low + '  ' + share(d.low, d.records)],
    ['其他', d.other + '  ' + share(d.other, d.records)],
    ['合格率', share(d.pass, d.records)],
    ['无数值', String(d.withoutValue)],
    ['最小值', readable(d.min, d.mode)],
    ['最大值', readable(d.max, d.mode)],
    ['平均值', readable(d.mean, d.mode)],
    ['标准差', readable(d.deviation, d.mode)],
    ['下限', readable(d.lower, d.mode)],
    ['上限', readable(d.upper, d.mode)],
    ['Cp', index(d.cp)], ['Cpk', index(d.cpk)], ['Pp', index(d.pp)], ['Ppk', index(d.ppk)],
  ];
  const table = document.getElementById('figures');
  table.replaceChildren(...rows.map(([name, value]) => {
    const tr = document.createElement('tr');
    const a = document.createElement('td'), b = document.createElement('td');
    a.textContent = name; b.textContent = value;
    if (d.few && /^C/.test(name)) b.className = 'few';
    tr.dataset.figure = name;
    tr.append(a, b);
    return tr;
  }));
}

function draw(d) {
  const fmt = v => readable(v, d.mode);
  Plots.hours(document.getElementById('hours'), d.hours);
  const values = d.last.map(p => p[1]);
  // Centre and σ̂ of the points shown, from their moving range, as the statistics window.
  const centre = values.reduce((a, b) => a + b, 0) / (values.length || 1);
  let mr = 0;
  for (let i = 1; i < values.length; i++) mr += Math.abs(values[i] - values[i - 1]);
  const sigma = values.length > 1 ? mr / (values.length - 1) / 1.128 : 0;
  Plots.individuals(document.getElementById('chart'), d.last, centre, sigma, fmt);
  Plots.histogram(document.getElementById('histogram'), values, d.lower, d.upper, fmt);
}

let timer = null;
async function load() {
  clearTimeout(timer);
  const banner = document.getElementById('banner');
  try {
    const answer = await fetch('/api/bench/' + encodeURIComponent(bench) + '?date=' + picker.value, { cache: 'no-store' });
    if (answer.status === 404) {
      document.getElementById('nodata').hidden = false;
      document.getElementById('bench').hidden = true;
    } else if (!answer.ok) {
      throw new Error(String(answer.status));
    } else {
      const d = await answer.json();
      document.getElementById('nodata').hidden = true;
      document.getElementById('bench').hidden = false;
      figures(d);
      draw(d);
    }
    banner.hidden = true;
  } catch (e) {
    banner.textContent = '无法读取归档数据库：数字不再更新。';
    banner.hidden = false;
  }
  document.body.dataset.loaded = 'true';
  if (picker.value === localDay(new Date())) timer = setTimeout(load, 2000);
}

document.getElementById('name').textContent = bench;
document.title = bench + ' — QMR4070';
picker.value = new URLSearchParams(location.search).get('date') || localDay(new Date());
picker.max = localDay(new Date());
picker.addEventListener('change', () => {
  history.replaceState(null, '', location.pathname + '?date=' + picker.value);
  load();
});
load();
