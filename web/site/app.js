// The page only draws what the simulation returns and forwards input to it:
// the host, the module and the pilot model all run in lobarc.wasm.
'use strict';

// PC keyboard scan codes of the letter keys: the codes the display expects.
const SCAN_CODES = {
  KeyQ: 16, KeyW: 17, KeyE: 18, KeyR: 19, KeyT: 20, KeyY: 21, KeyU: 22, KeyI: 23, KeyO: 24,
  KeyP: 25, KeyA: 30, KeyS: 31, KeyD: 32, KeyF: 33, KeyG: 34, KeyH: 35, KeyJ: 36, KeyK: 37,
  KeyL: 38, KeyZ: 44, KeyX: 45, KeyC: 46, KeyV: 47, KeyB: 48, KeyN: 49, KeyM: 50,
};
const FRAME_BUDGET_MS = 12;  // simulation time per animation frame, at most
const $ = (id) => document.getElementById(id);

let sim = null;
let warp = 1;
let shown = null;        // the display list last drawn
let status = {};
let instruments = {};
let dialogShown = false;
let lastFrame = 0, lastHop = 0;

// What tests read: the display list as drawn, and the autopilot's status.
window.lobarcPage = {
  ready: false,
  displayList: () => shown,
  texts: () => (shown ? shown.texts.filter((t) => !t.title).map((t) => t.text) : []),
  status: () => status,
  instruments: () => instruments,
};

function json(text) {
  const value = JSON.parse(text);
  if (value && value.error) throw new Error(value.error);
  return value;
}

function loadScript(src) {
  return new Promise((resolve, reject) => {
    const s = document.createElement('script');
    s.src = src;
    s.onload = resolve;
    s.onerror = () => reject(new Error(`${src} did not load`));
    document.head.appendChild(s);
  });
}

function timeout(ms, what) {
  return new Promise((_, reject) => setTimeout(() => reject(new Error(what)), ms));
}

async function start() {
  if (typeof WebAssembly !== 'object') return;  // the page already says why
  try {
    await loadScript('lobarc.js');
    sim = await Promise.race([
      LobarcPlayground({ printErr: (text) => console.warn(text) }),
      timeout(60000, 'it took more than a minute to start'),
    ]);
  } catch (e) {
    showFatal(`The simulation (lobarc.wasm) could not be loaded: ${e.message || e}. ` +
      'Serve this folder over HTTP (for instance with "lobarc serve") and reload the page.');
    return;
  }
  setUp();
  restart();
  window.lobarcPage.ready = true;
  requestAnimationFrame(frame);
}

// --- session -----------------------------------------------------------------

function setUp() {
  const select = $('scenario');
  for (const s of json(sim.scenarios())) {
    const o = new Option(`${s.name}: ${s.description}`, s.name, s.default, s.default);
    select.add(o);
  }
  select.onchange = restart;
  $('language').onchange = restart;
  $('restart').onclick = restart;
  for (const b of document.querySelectorAll('[data-warp]')) {
    b.onclick = () => setWarp(Number(b.dataset.warp));
  }
  $('autopilot').onchange = (e) => { sim.setAutopilot(e.target.checked); syncControls(); };
  $('attitude').onclick = () => sim.setAttitude(Number($('heading').value), Number($('pitch').value));
  $('zoom').oninput = () => drawDisplay();
  for (let b = 0; b < 12; b++) {
    const button = document.createElement('button');
    button.type = 'button';
    button.dataset.button = b;
    button.onclick = () => { sim.pressButton(b); afterInput(); };
    $(b < 6 ? 'left' : 'right').appendChild(button);
  }
  $('dialog-form').onsubmit = (e) => { e.preventDefault(); enter(); };
  $('dialog-cancel').onclick = () => { sim.cancelInput(); syncDialog(); };
  $('dialog-text').onkeydown = (e) => {
    if (e.key === 'Escape') { sim.cancelInput(); syncDialog(); }
  };
  document.addEventListener('keydown', (e) => {
    const field = e.target.closest && e.target.closest('input, select, textarea');
    if (field || dialogShown || e.ctrlKey || e.altKey || e.metaKey) return;
    const code = SCAN_CODES[e.code];
    if (code === undefined) return;
    if (sim.pressKey(code)) e.preventDefault();
    afterInput();
  });
}

function restart() {
  const error = sim.load($('scenario').value, $('language').value);
  if (error) {
    setStatus(`Cannot load the scenario: ${error}`, 'bad');
    return;
  }
  $('autopilot').checked = false;
  const labels = json(sim.buttonLabels());
  document.querySelectorAll('[data-button]').forEach((b, i) => {
    b.textContent = labels[i];
    b.disabled = labels[i].trim() === '';
  });
  instruments = json(sim.instruments());
  makeThrottles(instruments.engines);
  $('heading').value = Math.round(instruments.heading_deg);
  $('pitch').value = Math.round(instruments.pitch_deg);
  syncDialog();
  drawDisplay();
  drawHop();
}

function setWarp(w) {
  warp = w;
  for (const b of document.querySelectorAll('[data-warp]')) {
    b.classList.toggle('on', Number(b.dataset.warp) === w);
  }
}

// --- the display and its dialogs ----------------------------------------------

function afterInput() {
  syncDialog();
  drawDisplay();
}

function enter() {
  const text = $('dialog-text').value;
  if (sim.typeInput(text)) {
    syncDialog();
    drawDisplay();
    return;
  }
  // Refused: the dialog stays open with the entry, as the host keeps it.
  $('dialog-refused').textContent = `"${text}" was refused: try another entry or Cancel.`;
  $('dialog-text').select();
}

function syncDialog() {
  const d = json(sim.dialog());
  if (d.open && !dialogShown) {
    $('dialog-title').textContent = d.title;
    $('dialog-text').value = '';
    $('dialog-refused').textContent = '';
    $('dialog').hidden = false;
    $('dialog-text').focus();
  } else if (!d.open && dialogShown) {
    $('dialog').hidden = true;
  }
  dialogShown = d.open;
}

function drawDisplay() {
  shown = json(sim.displayList());
  const canvas = $('display');
  const zoom = Number($('zoom').value);
  const ratio = window.devicePixelRatio || 1;
  canvas.style.width = `${shown.width * zoom}px`;
  canvas.style.height = `${shown.height * zoom}px`;
  canvas.width = Math.round(shown.width * zoom * ratio);
  canvas.height = Math.round(shown.height * zoom * ratio);
  const g = canvas.getContext('2d');
  g.setTransform(zoom * ratio, 0, 0, zoom * ratio, 0, 0);
  g.fillStyle = shown.background;
  g.fillRect(0, 0, shown.width, shown.height);
  g.lineWidth = 1;
  for (const e of shown.ellipses) {
    const l = Math.min(e.left, e.right), r = Math.max(e.left, e.right);
    const t = Math.min(e.top, e.bottom), b = Math.max(e.top, e.bottom);
    g.beginPath();
    g.ellipse((l + r) / 2, (t + b) / 2, Math.max(0, (r - l - 1) / 2), Math.max(0, (b - t - 1) / 2),
      0, 0, 2 * Math.PI);
    if (e.filled) { g.fillStyle = e.color; g.fill(); }
    g.strokeStyle = e.color;
    g.stroke();
  }
  for (const s of shown.segments) {
    g.beginPath();
    g.moveTo(s.x0 + 0.5, s.y0 + 0.5);
    g.lineTo(s.x1 + 0.5, s.y1 + 0.5);
    g.strokeStyle = s.color;
    g.stroke();
  }
  // Text size follows the display's line height, as on the host's surface.
  g.font = `${Math.max(1, Math.floor(shown.height / 28)) * 1.2}px "DejaVu Sans Mono", monospace`;
  g.textBaseline = 'top';
  for (const t of shown.texts) {
    g.textAlign = t.align;
    g.fillStyle = t.color;
    g.fillText(t.text, t.x, t.y);
  }
}

// --- instruments and controls -------------------------------------------------------

function makeThrottles(engines) {
  const box = $('throttles');
  box.textContent = '';
  for (const [group, e] of Object.entries(engines)) {
    const label = document.createElement('label');
    label.textContent = `${group === 'main' ? 'Main' : 'Hover'} throttle `;
    const range = document.createElement('input');
    Object.assign(range, { type: 'range', min: 0, max: 1, step: 0.01, value: e.level });
    range.dataset.group = group;
    range.oninput = () => sim.setThrottle(group, Number(range.value));
    label.appendChild(range);
    box.appendChild(label);
  }
  syncControls();
}

function syncControls() {
  const auto = $('autopilot').checked;
  for (const el of document.querySelectorAll('.controls input, .controls button')) {
    el.disabled = auto;
  }
}

const fixed = (v, n) => (Number.isFinite(v) ? v.toFixed(n) : '-');

function showInstruments() {
  const i = instruments;
  const rows = [
    ['Time', `${fixed(i.time_s, 1)} s`],
    ['Altitude', `${fixed(i.altitude_m / 1000, 2)} km`],
    ['Vertical speed', `${fixed(i.vertical_speed_mps, 1)} m/s`],
    ['Horizontal speed', `${fixed(i.horizontal_speed_mps, 1)} m/s`],
    ['Pitch', `${fixed(i.pitch_deg, 1)}\u00b0`],
    ['Heading', `${fixed(i.heading_deg, 1)}\u00b0`],
    ['Position', `${fixed(i.lat_deg, 3)}\u00b0, ${fixed(i.lng_deg, 3)}\u00b0`],
    ['Mass', `${fixed(i.mass_kg, 0)} kg`],
    ['Propellant', 'not simulated (constant mass)'],
    ['Ground contact', i.ground_contact ? 'yes' : 'no'],
  ];
  for (const [group, e] of Object.entries(i.engines || {})) {
    rows.push([`${group === 'main' ? 'Main' : 'Hover'} engines`,
      `${fixed(e.level * 100, 0)} % of ${fixed(e.max_thrust_n / 1000, 0)} kN`]);
  }
  const dl = $('instruments');
  dl.textContent = '';
  for (const [name, value] of rows) {
    dl.appendChild(Object.assign(document.createElement('dt'), { textContent: name }));
    dl.appendChild(Object.assign(document.createElement('dd'), { textContent: value }));
  }
  if ($('autopilot').checked) {
    // The controls follow the pilot's hands.
    for (const r of document.querySelectorAll('#throttles input')) {
      r.value = i.engines[r.dataset.group].level;
    }
    $('heading').value = Math.round(i.heading_deg);
    $('pitch').value = Math.round(i.pitch_deg);
  }
}

function setStatus(text, kind) {
  const s = $('status');
  s.textContent = text;
  s.className = `status ${kind || ''}`;
}

const distance = (m) => (m >= 10000 ? `${fixed(m / 1000, 0)} km` : `${fixed(m, 0)} m`);

function showStatus() {
  const goal = `(goal ${distance(status.goal_m)})`;
  if (status.note) {
    setStatus(`Autopilot stopped: ${status.note}`, 'bad');
    $('autopilot').checked = false;
    syncControls();
  } else if (status.done) {
    setStatus(`${status.arrived ? 'Arrived' : 'Missed'}: closest approach ` +
      `${distance(status.closest_m)} from the aim point ${goal}`, status.arrived ? 'good' : 'bad');
  } else {
    setStatus(`${status.on ? `Autopilot: ${status.phase}` : 'Manual'} \u00b7 aim point ` +
      `${distance(status.aim_distance_m)} away ${goal}`);
  }
}

// --- the hop: altitude over distance and ground track ---------------------------------

function drawHop() {
  const hop = json(sim.track());
  drawProfile(hop);
  drawGroundTrack(hop);
}

function axes(g, w, h, pad, xLabel, yLabel) {
  g.fillStyle = '#0d0f13';
  g.fillRect(0, 0, w, h);
  g.strokeStyle = '#3a4250';
  g.strokeRect(pad, 8, w - pad - 8, h - pad - 8);
  g.fillStyle = '#8a93a3';
  g.font = '11px system-ui, sans-serif';
  g.textAlign = 'right';
  g.fillText(xLabel, w - 8, h - 8);
  g.textAlign = 'left';
  g.fillText(yLabel, pad + 4, 20);
}

function marker(g, x, y, color, text) {
  g.fillStyle = color;
  g.beginPath();
  g.arc(x, y, 4, 0, 2 * Math.PI);
  g.fill();
  g.font = '11px system-ui, sans-serif';
  // Labels point inwards, so that none runs off the picture.
  const right = x > g.canvas.width / 2;
  g.textAlign = right ? 'right' : 'left';
  g.fillText(text, right ? x - 6 : x + 6, y - 6);
}

function drawProfile(hop) {
  const g = $('profile').getContext('2d');
  const w = $('profile').width, h = $('profile').height, pad = 34;
  const pts = hop.points;
  const maxX = Math.max(hop.target.range_km, ...pts.map((p) => p[1])) * 1.05 || 1;
  const maxY = Math.max(10, ...pts.map((p) => p[2])) * 1.1;
  axes(g, w, h, pad, `distance, ${fixed(maxX, 0)} km`, `altitude, ${fixed(maxY, 0)} km`);
  const X = (km) => pad + (km / maxX) * (w - pad - 8);
  const Y = (km) => h - pad - (Math.max(0, km) / maxY) * (h - pad - 16);
  g.strokeStyle = '#56d6ff';
  g.beginPath();
  pts.forEach((p, k) => (k ? g.lineTo(X(p[1]), Y(p[2])) : g.moveTo(X(p[1]), Y(p[2]))));
  g.stroke();
  marker(g, X(0), Y(0), '#00ff00', hop.launch.name);
  marker(g, X(hop.target.range_km), Y(hop.target.alt_above_km), '#ffff00', hop.target.name);
}

function drawGroundTrack(hop) {
  const g = $('groundtrack').getContext('2d');
  const w = $('groundtrack').width, h = $('groundtrack').height, pad = 34;
  // Longitudes relative to the launch site, so a hop across 180 degrees stays whole.
  const rel = (lng) => ((lng - hop.launch.lng_deg + 540) % 360) - 180;
  const all = [[hop.launch.lat_deg, 0], [hop.target.lat_deg, rel(hop.target.lng_deg)],
    ...hop.points.map((p) => [p[3], rel(p[4])])];
  const lats = all.map((p) => p[0]), lngs = all.map((p) => p[1]);
  const midLat = (Math.min(...lats) + Math.max(...lats)) / 2;
  const squeeze = Math.max(0.1, Math.cos((midLat * Math.PI) / 180));
  const spanX = (Math.max(...lngs) - Math.min(...lngs)) * squeeze;
  const spanY = Math.max(...lats) - Math.min(...lats);
  const span = Math.max(spanX / (w - pad - 8), spanY / (h - pad - 16), 1e-3) * 1.15;
  const cx = (Math.max(...lngs) + Math.min(...lngs)) / 2, cy = midLat;
  const X = (l) => pad + (w - pad - 8) / 2 + ((l - cx) * squeeze) / span;
  const Y = (lat) => 8 + (h - pad - 8) / 2 - (lat - cy) / span;
  axes(g, w, h, pad, 'east \u2192', `north \u2191 (${hop.body})`);
  g.strokeStyle = '#56d6ff';
  g.beginPath();
  hop.points.forEach((p, k) => {
    const x = X(rel(p[4])), y = Y(p[3]);
    if (k) g.lineTo(x, y); else g.moveTo(x, y);
  });
  g.stroke();
  marker(g, X(0), Y(hop.launch.lat_deg), '#00ff00', hop.launch.name);
  marker(g, X(rel(hop.target.lng_deg)), Y(hop.target.lat_deg), '#ffff00', hop.target.name);
}

// --- the loop --------------------------------------------------------------------------

function frame(now) {
  try {
    const wall = lastFrame ? Math.min(0.1, (now - lastFrame) / 1000) : 0;
    lastFrame = now;
    if (warp > 0 && wall > 0) sim.advance(wall * warp, FRAME_BUDGET_MS);
    drawDisplay();
    syncDialog();
    instruments = json(sim.instruments());
    showInstruments();
    status = json(sim.status());
    showStatus();
    if (now - lastHop > 250) {
      lastHop = now;
      drawHop();
    }
  } catch (e) {
    setStatus(`Error: ${e.message || e}`, 'bad');
  }
  requestAnimationFrame(frame);
}

start();
