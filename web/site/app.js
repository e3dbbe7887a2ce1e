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

// The page's own words in both languages; the display's are the module's.
const WORDS = {
  en: {
    title: 'Lobarc Launch playground',
    intro: 'The display module and its simulated host, running in your browser. Press the ' +
      "display's buttons (or their keys), fly the vessel by keys, or let the autopilot fly the hop.",
    scenario: 'Scenario', language: 'Language', restart: 'Restart', pause: 'Pause',
    autopilot: 'Autopilot', size: 'Size', instrumentsTitle: 'Instruments', controlsTitle: 'Controls',
    heading: 'Heading [\u00b0]', pitch: 'Pitch [\u00b0]', hold: 'Hold attitude',
    toward: 'Turn toward the "+"', guide: "Pilot's guide",
    hint: 'Display keys: T target, L latitude, N longitude, Z security altitude, B altitude above ' +
      'target, R reset, S switch, E engine, P page. Vessel: arrows or numeric pad 2/8 pitch, 4/6 ' +
      'yaw, 1/3 roll, 5 hold, Home toward the "+"; +/- or PageUp/PageDown main throttle, * cut; ' +
      'numeric 0 and . hover throttle.',
    profile: 'Altitude over distance flown',
    track: 'Ground track: launch site (green) and target (yellow)',
    enter: 'Enter', cancel: 'Cancel', loading: 'Loading the simulation\u2026',
    time: 'Time', altitude: 'Altitude', vspeed: 'Vertical speed', hspeed: 'Horizontal speed',
    position: 'Position', mass: 'Mass', propellant: 'Propellant', contact: 'Ground contact',
    yes: 'yes', no: 'no', noPropellant: 'none burnt (constant mass)', main: 'Main', hover: 'Hover',
    engines: (g) => `${g} engines`, throttle: (g) => `${g} throttle `, of: 'of',
    refused: (t) => `"${t}" was refused: try another entry or Cancel.`,
    wholeKm: (t, lo, hi) => `"${t}" was refused: give whole kilometres from ${lo} to ${hi}.`,
    cannotLoad: (e) => `Cannot load the scenario: ${e}`,
    stopped: (n) => `Autopilot stopped: ${n}`,
    goal: (d) => `(goal ${d})`,
    arrived: 'Arrived', missed: 'Missed',
    closest: (d) => `closest approach ${d} from the aim point`,
    handedOver: 'The clock is stopped and the vessel is yours: land it by hand (hover ' +
      'engines, keys) and pick a speed to go on, or Restart.',
    landed: (v, d) => `Landed at ${v} m/s, ${d} from the target.`,
    crashed: (v, d) => `Crashed at ${v} m/s, ${d} from the target.`,
    manual: 'Manual', autopilotPhase: (p) => `Autopilot: ${p}`,
    aim: (d) => `aim point ${d} away`, error: (e) => `Error: ${e}`,
    guideFile: 'pilot-guide.md',
  },
  fr: {
    title: 'Lobarc Launch : bac \u00e0 sable',
    intro: "Le module d'\u00e9cran et son h\u00f4te simul\u00e9, dans votre navigateur. " +
      "Appuyez sur les boutons de l'\u00e9cran (ou leurs touches), pilotez au clavier, ou " +
      'laissez le pilote automatique faire le saut.',
    scenario: 'Sc\u00e9nario', language: 'Langue', restart: 'Recommencer', pause: 'Pause',
    autopilot: 'Pilote automatique', size: 'Taille', instrumentsTitle: 'Instruments',
    controlsTitle: 'Commandes', heading: 'Cap [\u00b0]', pitch: 'Assiette [\u00b0]',
    hold: "Tenir l'attitude", toward: 'Tourner vers le \u00ab + \u00bb', guide: 'Guide du pilote',
    hint: "Touches de l'\u00e9cran : T cible, L latitude, N longitude, Z altitude de " +
      's\u00e9curit\u00e9, B altitude de survol, R remise \u00e0 z\u00e9ro, S bascule, ' +
      'E moteur, P page. Vaisseau : fl\u00e8ches ou pav\u00e9 num\u00e9rique 2/8 tangage, 4/6 ' +
      'lacet, 1/3 roulis, 5 tenir, Origine vers le \u00ab + \u00bb ; +/- ou Page pr\u00e9c./' +
      'suiv. pouss\u00e9e principale, * coupure ; 0 et . du pav\u00e9 pouss\u00e9e ventrale.',
    profile: 'Altitude selon la distance parcourue',
    track: 'Trace au sol : site de lancement (vert) et cible (jaune)',
    enter: 'Valider', cancel: 'Annuler', loading: 'Chargement de la simulation\u2026',
    time: 'Temps', altitude: 'Altitude', vspeed: 'Vitesse verticale',
    hspeed: 'Vitesse horizontale', position: 'Position', mass: 'Masse', propellant: 'Ergols',
    contact: 'Contact au sol', yes: 'oui', no: 'non', noPropellant: 'aucun br\u00fbl\u00e9 ' +
      '(masse constante)', main: 'Principal', hover: 'Ventral',
    engines: (g) => `Moteur ${g.toLowerCase()}`, throttle: (g) => `Pouss\u00e9e ${g.toLowerCase()} `,
    of: 'de',
    refused: (t) => `\u00ab ${t} \u00bb a \u00e9t\u00e9 refus\u00e9 : essayez une autre ` +
      'saisie ou Annuler.',
    wholeKm: (t, lo, hi) => `\u00ab ${t} \u00bb a \u00e9t\u00e9 refus\u00e9 : donnez des ` +
      `kilom\u00e8tres entiers, de ${lo} \u00e0 ${hi}.`,
    cannotLoad: (e) => `Impossible de charger le sc\u00e9nario : ${e}`,
    stopped: (n) => `Pilote automatique arr\u00eat\u00e9 : ${n}`,
    goal: (d) => `(objectif ${d})`,
    arrived: 'Arriv\u00e9', missed: 'Manqu\u00e9',
    closest: (d) => `au plus pr\u00e8s \u00e0 ${d} du point vis\u00e9`,
    handedOver: "L'horloge est arr\u00eat\u00e9e et le vaisseau est \u00e0 vous : posez-le " +
      '\u00e0 la main (moteurs ventraux, clavier) puis choisissez une vitesse, ou Recommencer.',
    landed: (v, d) => `Pos\u00e9 \u00e0 ${v} m/s, \u00e0 ${d} de la cible.`,
    crashed: (v, d) => `\u00c9cras\u00e9 \u00e0 ${v} m/s, \u00e0 ${d} de la cible.`,
    manual: 'Manuel', autopilotPhase: (p) => `Pilote automatique : ${p}`,
    aim: (d) => `point vis\u00e9 \u00e0 ${d}`, error: (e) => `Erreur : ${e}`,
    guideFile: 'pilot-guide.fr.md',
  },
};
let lang = 'en';
const t = (key, ...args) => {
  const w = WORDS[lang][key];
  return typeof w === 'function' ? w(...args) : w;
};

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
  warp: () => warp,
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
  $('autopilot').onchange = (e) => {
    sim.setAutopilot(e.target.checked);
    handedOver = false;
    syncControls();
  };
  $('attitude').onclick = () => sim.setAttitude(Number($('heading').value), Number($('pitch').value));
  $('toward').onclick = () => sim.holdTowardMarker(true);
  fitZoom();
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
    if (flightKey(e, true)) { e.preventDefault(); return; }
    const code = SCAN_CODES[e.code];
    if (code === undefined) return;
    if (sim.pressKey(code)) e.preventDefault();
    afterInput();
  });
  document.addEventListener('keyup', (e) => { if (flightKey(e, false)) e.preventDefault(); });
}

// --- flying by keys, as Orbiter's keyboard does -------------------------------
// Rotation keys turn the vessel while held; the throttle keys move in steps.
const TURN_RATE = 5;  // [deg per simulated second]
const ROTATION_KEYS = {  // key: [pitch, yaw, roll] while held
  ArrowUp: [1, 0, 0], ArrowDown: [-1, 0, 0], ArrowLeft: [0, -1, 0], ArrowRight: [0, 1, 0],
  Numpad2: [1, 0, 0], Numpad8: [-1, 0, 0], Numpad4: [0, -1, 0], Numpad6: [0, 1, 0],
  Numpad1: [0, 0, -1], Numpad3: [0, 0, 1],
};
const held = new Set();
const THROTTLE_STEP = 0.05;

function flightKey(e, down) {
  if ($('autopilot').checked) return false;
  if (ROTATION_KEYS[e.code]) {
    if (down) held.add(e.code); else held.delete(e.code);
    const r = [0, 0, 0];
    for (const k of held) ROTATION_KEYS[k].forEach((v, i) => { r[i] += v * TURN_RATE; });
    sim.setRates(r[0], r[1], r[2]);
    return true;
  }
  if (!down) return false;
  const steps = {
    NumpadAdd: ['main', 1], Equal: ['main', 1], PageUp: ['main', 1], NumpadSubtract: ['main', -1],
    Minus: ['main', -1], PageDown: ['main', -1], Numpad0: ['hover', 1], NumpadDecimal: ['hover', -1],
  };
  if (e.code === 'NumpadMultiply' || e.key === '*') { setLevel('main', 0); return true; }
  if (e.code === 'Numpad5') {
    sim.setAttitude(instruments.heading_deg, instruments.pitch_deg);
    return true;
  }
  if (e.code === 'Home') { sim.holdTowardMarker(true); return true; }
  const s = steps[e.code];
  // From the level set last, not the frame's reading: presses quicker than
  // the frames would otherwise step from the same level and be lost.
  const engines = json(sim.instruments()).engines;
  if (!s || !engines || !engines[s[0]]) return false;
  setLevel(s[0], engines[s[0]].level + s[1] * THROTTLE_STEP);
  return true;
}

function setLevel(group, level) {
  const l = Math.min(1, Math.max(0, Math.round(level / THROTTLE_STEP) * THROTTLE_STEP));
  sim.setThrottle(group, l);
  const r = document.querySelector(`#throttles input[data-group="${group}"]`);
  if (r) r.value = l;
}

// The display as large as the screen allows, up to one and a half times:
// on a wide screen with the instruments and the charts beside it, on a
// narrow one alone in its row.
function fitZoom() {
  const beside = window.innerWidth > 1100 ? 290 + 400 + 40 : 0;  // [px] panel and charts
  const room = (window.innerWidth - beside - 2 * 52 - 110) / 290;
  $('zoom').value = Math.max(0.75, Math.min(1.5, Math.floor(room * 4) / 4));
}

// --- the page in its language, and the pilot's guide ----------------------------

function translate() {
  lang = $('language').value === 'fr' ? 'fr' : 'en';
  document.documentElement.lang = lang;
  document.title = t('title');
  for (const el of document.querySelectorAll('[data-t]')) el.textContent = t(el.dataset.t);
  showGuide();
}

const guides = {};
async function showGuide() {
  const file = t('guideFile');
  try {
    if (!guides[file]) {
      const r = await fetch(file);
      if (!r.ok) throw new Error(`${file}: ${r.status}`);
      guides[file] = markdown(await r.text());
    }
    $('guide-text').innerHTML = guides[file];
  } catch (e) {
    $('guide-text').textContent = `${file}: ${e.message || e}`;
  }
}

// The little Markdown the guide uses: headings, paragraphs, lists, tables,
// bold and code.
function markdown(text) {
  const esc = (s) => s.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
  const inline = (s) => esc(s).replace(/\*\*(.+?)\*\*/g, '<strong>$1</strong>')
    .replace(/`(.+?)`/g, '<code>$1</code>');
  const out = [];
  let para = [], list = null, table = null;
  const flush = () => {
    if (para.length) out.push(`<p>${inline(para.join(' '))}</p>`);
    if (list) out.push(`<${list.tag}>${list.items.map((i) => `<li>${inline(i)}</li>`).join('')}</${list.tag}>`);
    if (table) {
      const [head, ...rows] = table.filter((r) => !/^\|?\s*-+/.test(r.join('')));
      out.push(`<table><tr>${head.map((c) => `<th>${inline(c)}</th>`).join('')}</tr>` +
        rows.map((r) => `<tr>${r.map((c) => `<td>${inline(c)}</td>`).join('')}</tr>`).join('') +
        '</table>');
    }
    para = []; list = null; table = null;
  };
  for (const line of text.split('\n')) {
    let m;
    if ((m = line.match(/^(#{1,3}) (.*)/))) {
      flush();
      out.push(`<h${m[1].length + 1}>${inline(m[2])}</h${m[1].length + 1}>`);
    } else if ((m = line.match(/^(-|\d+\.) (.*)/))) {
      const tag = m[1] === '-' ? 'ul' : 'ol';
      if (!list || list.tag !== tag) { flush(); list = { tag, items: [] }; }
      list.items.push(m[2]);
    } else if (line.startsWith('|')) {
      if (!table) { flush(); table = []; }
      table.push(line.split('|').slice(1, -1).map((c) => c.trim()));
    } else if (line.trim() === '') {
      flush();
    } else if (list && /^\s+/.test(line)) {
      list.items[list.items.length - 1] += ` ${line.trim()}`;
    } else {
      if (list || table) flush();
      para.push(line.trim());
    }
  }
  flush();
  return out.join('\n');
}

function restart() {
  translate();
  const error = sim.load($('scenario').value, $('language').value);
  if (error) {
    setStatus(t('cannotLoad', error), 'bad');
    return;
  }
  $('autopilot').checked = false;
  handedOver = false;
  held.clear();
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
  const problem = sim.entryProblem(text);
  if (problem) {
    const p = JSON.parse(problem);
    $('dialog-refused').textContent = t('wholeKm', text, p.lowest, p.highest);
    $('dialog-text').select();
    return;
  }
  if (sim.typeInput(text)) {
    syncDialog();
    drawDisplay();
    return;
  }
  // Refused: the dialog stays open with the entry, as the host keeps it.
  $('dialog-refused').textContent = t('refused', text);
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
    label.textContent = t('throttle', t(group));
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
  if (auto) { held.clear(); }
}

const fixed = (v, n) => (Number.isFinite(v) ? v.toFixed(n) : '-');

function showInstruments() {
  const i = instruments;
  const rows = [
    [t('time'), `${fixed(i.time_s, 1)} s`],
    [t('altitude'), `${fixed(i.altitude_m / 1000, 2)} km`],
    [t('vspeed'), `${fixed(i.vertical_speed_mps, 1)} m/s`],
    [t('hspeed'), `${fixed(i.horizontal_speed_mps, 1)} m/s`],
    [t('pitch').replace(/ \[.*/, ''), `${fixed(i.pitch_deg, 1)}\u00b0`],
    [t('heading').replace(/ \[.*/, ''), `${fixed(i.heading_deg, 1)}\u00b0`],
    [t('position'), `${fixed(i.lat_deg, 3)}\u00b0, ${fixed(i.lng_deg, 3)}\u00b0`],
    [t('mass'), `${fixed(i.mass_kg, 0)} kg`],
    [t('propellant'), i.propellant_counted ? `${fixed(i.propellant_kg, 0)} kg` : t('noPropellant')],
    [t('contact'), i.ground_contact ? t('yes') : t('no')],
  ];
  for (const [group, e] of Object.entries(i.engines || {})) {
    rows.push([t('engines', t(group)),
      `${fixed(e.level * 100, 0)} % ${t('of')} ${fixed(e.max_thrust_n / 1000, 0)} kN`]);
  }
  const dl = $('instruments');
  dl.textContent = '';
  for (const [name, value] of rows) {
    dl.appendChild(Object.assign(document.createElement('dt'), { textContent: name }));
    dl.appendChild(Object.assign(document.createElement('dd'), { textContent: value }));
  }
  if ($('autopilot').checked) {
    // The controls follow the pilot's hands.
    $('heading').value = Math.round(i.heading_deg);
    $('pitch').value = Math.round(i.pitch_deg);
  }
  // The sliders follow the throttles, whoever moves them.
  for (const r of document.querySelectorAll('#throttles input')) {
    if (document.activeElement !== r) r.value = i.engines[r.dataset.group].level;
  }
}

function setStatus(text, kind) {
  const s = $('status');
  s.textContent = text;
  s.className = `status ${kind || ''}`;
}

const distance = (m) => (m >= 10000 ? `${fixed(m / 1000, 0)} km` : `${fixed(m, 0)} m`);

let handedOver = false;  // the page stopped the clock for the hand-over

function showStatus() {
  const goal = t('goal', distance(status.goal_m));
  const closest = `${t('closest', distance(status.closest_m))} ${goal}`;
  if ($('autopilot').checked && !status.on) {
    $('autopilot').checked = false;  // the autopilot let go
    syncControls();
  }
  if (status.ended === 'crashed' || status.ended === 'landed') {
    const v = fixed(status.impact_mps, 1), d = distance(status.landing_m);
    setStatus(status.ended === 'crashed' ? t('crashed', v, d) : t('landed', v, d),
      status.ended === 'crashed' ? 'bad' : 'good');
  } else if (status.note) {
    setStatus(t('stopped', status.note), 'bad');
  } else if (status.ended === 'handed-over') {
    if (!handedOver) { handedOver = true; setWarp(0); }
    setStatus(`${status.arrived ? t('arrived') : t('missed')}: ${closest}. ${t('handedOver')}`,
      status.arrived ? 'good' : 'bad');
  } else {
    setStatus(`${status.on ? t('autopilotPhase', status.phase) : t('manual')} \u00b7 ` +
      `${t('aim', distance(status.aim_distance_m))} ${goal}`);
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
    setStatus(t('error', e.message || e), 'bad');
  }
  requestAnimationFrame(frame);
}

start();
