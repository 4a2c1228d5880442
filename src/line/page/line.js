'use strict';
// The line: one tile per bench, refreshed every second from /api/line.

const NONE = '—';

function percent(share) { return share == null ? NONE : (100 * share).toFixed(2) + '%'; }
function index(value) { return value == null ? NONE : value.toFixed(2); }
function clock(iso) {
  const t = new Date(iso);
  const today = new Date();
  const time = t.toLocaleTimeString('zh-CN', { hour12: false });
  return t.toDateString() === today.toDateString() ? time : t.toLocaleDateString('zh-CN') + ' ' + time;
}

const STATES = { recording: '测量中', idle: '空闲', silent: '静默' };

function field(list, label, value, name, extra) {
  const dt = document.createElement('dt');
  dt.textContent = label;
  const dd = document.createElement('dd');
  dd.textContent = value;
  dd.dataset.field = name;
  if (extra) dd.className = extra;
  list.append(dt, dd);
}

function tile(b) {
  const a = document.createElement('a');
  a.className = 'tile ' + b.state;
  a.href = '/bench/' + encodeURIComponent(b.bench);
  a.dataset.bench = b.bench;
  const h = document.createElement('h2');
  h.textContent = b.bench;
  const state = document.createElement('div');
  state.className = 'state';
  state.dataset.field = 'state';
  state.textContent = b.state === 'silent' ? STATES.silent + '，自 ' + clock(b.newest) : STATES[b.state];
  const list = document.createElement('dl');
  field(list, '今日读数', String(b.records), 'records');
  field(list, '合格率', percent(b.yield), 'yield', 'yield' + (b.yield != null && b.yield < 0.95 ? ' low' : ''));
  field(list, 'HIGH', percent(b.records ? b.high / b.records : null), 'high');
  field(list, 'LOW', percent(b.records ? b.low / b.records : null), 'low');
  field(list, 'Cpk', index(b.cpk), 'cpk', b.cpk != null && b.few ? 'few' : '');
  field(list, '最近报警', b.alarm ? '规则 ' + b.alarm.rule + ' · ' + clock(b.alarm.at) : NONE, 'alarm');
  field(list, '最新记录', clock(b.newest), 'newest');
  a.append(h, state, list);
  return a;
}

function show(line) {
  const banner = document.getElementById('banner');
  if (line.archive && !line.archive.ok) {
    banner.textContent = '无法连接归档数据库' + (line.archive.since ? '（自 ' + clock(line.archive.since) + ' 起）' : '') +
      '：下面是最后读到的数字。';
    banner.hidden = false;
  } else {
    banner.hidden = true;
  }
  document.getElementById('tiles').replaceChildren(...line.benches.map(tile));
  document.getElementById('empty').hidden = line.benches.length > 0 || !(line.archive && line.archive.ok);
  document.body.dataset.loaded = 'true';
}

async function refresh() {
  try {
    const answer = await fetch('/api/line', { cache: 'no-store' });
    if (!answer.ok) throw new Error(String(answer.status));
    show(await answer.json());
  } catch (e) {
    const banner = document.getElementById('banner');
    banner.textContent = '无法连接本页的服务器 (qmr4070-line)：数字不再更新。';
    banner.hidden = false;
  }
  document.getElementById('clock').textContent = new Date().toLocaleString('zh-CN', { hour12: false });
  setTimeout(refresh, 1000);
}

refresh();
