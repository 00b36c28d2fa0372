// The page's worker: checks the chosen reports with the checker built to WebAssembly, so that
// the page stays responsive. The reports go into the module's in-memory file system under
// their own names; the protocols and the output copy are written there and handed back.
//
// Messages from the page:
//   {typ: 'kontrola', soubory: [File], bezVarovani}   check; rows, progress, 'hotovo', 'radky'
//   {typ: 'text', od, po, dotaz}   lines od..po-1 (from 0) of the reports read as one stream
//   {typ: 'soubor', format: 'htm'|'csv'|'txt'|'xml'|'kopie'}   one file to download
// Messages to the page: 'kodovani' (the reports not saved in Windows-1250), 'nalezy' (rows),
// 'prubeh', 'hotovo', 'radky' (the number of lines and the first line of each report), 'text',
// 'soubor', 'chyba'. The reports stay here only: the
// page asks for the lines it shows.
'use strict';

const VSTUP = '/vstup';       // the reports, and the folder the checks run in
const VYSLEDKY = '/vysledky'; // protocols and output copy
const SEZNAM = '/seznam.txt'; // the list file when several reports are checked as one

const cp1250 = new TextDecoder('windows-1250');
const kodovani = new Map(); // character -> its Windows-1250 byte
for (let b = 0; b < 256; ++b)
  kodovani.set(cp1250.decode(Uint8Array.of(b)), b);

let obsahy = [];                 // the reports' bytes
let zacatky = null;              // starts of their lines, read as one stream
let vstup = null;                // {argument: bytes of the input's name, seznam, bezVarovani}
let radky = [];                  // rows not yet sent to the page
let konzole = new Uint8Array(0); // the end of the console text: the reason of a failed check
let celkem = null;               // totals of the last check
let posledniPrubeh = 0;          // when the page was last told the progress
let modul = null;                // the module, loaded as soon as the worker starts
const nacitani = nactiModul().then(m => { modul = m; });

function posliRadky() {
  if (radky.length > 0) {
    postMessage({typ: 'nalezy', radky});
    radky = [];
  }
}

async function nactiModul() {
  const b = atob(WASM_BASE64);
  const wasmBinary = new Uint8Array(b.length);
  for (let i = 0; i < b.length; ++i)
    wasmBinary[i] = b.charCodeAt(i);
  const m = await ld952Modul({wasmBinary, print: () => {}, printErr: () => {}});
  m.nalez = (texts, sizes) => {
    const t = [];
    for (let i = 0; i < 8; ++i) {
      const p = m.HEAPU32[(texts >> 2) + i], n = m.HEAPU32[(sizes >> 2) + i];
      t.push(cp1250.decode(m.HEAPU8.subarray(p, p + n)));
    }
    radky.push(t);
    if (radky.length >= 2000)
      posliRadky();
  };
  m.prubeh = (precteno, velikost, zaznamu, radek) => {
    const ted = performance.now();
    if (ted - posledniPrubeh < 100)
      return;
    posledniPrubeh = ted;
    posliRadky();
    postMessage({typ: 'prubeh', precteno, velikost, zaznamu, radek});
  };
  m.konzole = (p, n) => { // the progress lines of a large report make megabytes: keep the end
    const nova = new Uint8Array(Math.min(konzole.length + n, 4096));
    const z = Math.min(n, nova.length), k = nova.length - z;
    nova.set(konzole.subarray(konzole.length - k), 0);
    nova.set(m.HEAPU8.subarray(p + n - z, p + n), k);
    konzole = nova;
  };
  m.celkem = (chyby, varovani, radku) => { celkem = {chyby, varovani, radku}; };
  m.FS.mkdir(VSTUP);
  m.FS.mkdir(VYSLEDKY);
  m.FS.chdir(VSTUP);
  return m;
}

// A name as the checker sees it: its Windows-1250 bytes ('?' for what that cannot hold).
function bajty(text) {
  return Uint8Array.from(Array.from(text), c => kodovani.get(c) ?? 0x3f);
}

// The file system knows a file by the text that the module makes of the bytes of its name.
function jmenoVeFS(b) {
  return modul.UTF8ArrayToString(b, 0, b.length);
}

// Runs one check; the texts are Windows-1250 bytes or null. Returns the exit code.
function spust(argument, protokol, kopie, sRadky) {
  const texty = [argument, protokol, kopie].map(b => {
    if (b === null)
      return 0;
    const p = modul._malloc(b.length + 1);
    modul.HEAPU8.set(b, p);
    modul.HEAPU8[p + b.length] = 0;
    return p;
  });
  konzole = new Uint8Array(0);
  celkem = null;
  try {
    return modul._ld952_web_check(texty[0], vstup.seznam ? 1 : 0, texty[1], texty[2],
                                  vstup.bezVarovani ? 1 : 0, sRadky ? 1 : 0);
  } finally {
    texty.forEach(p => p && modul._free(p));
  }
}

function textKonzole() {
  return cp1250.decode(konzole);
}

// Starts of the lines of the reports read as one stream, as the checker counts them: a line
// ends at a line feed, and a report that does not end with one goes on into the next.
function zacatkyRadek(obsahy) {
  let pocet = 1;
  for (const b of obsahy)
    for (let i = b.indexOf(10); i >= 0; i = b.indexOf(10, i + 1))
      ++pocet;
  const zacatky = new Float64Array(pocet);
  let k = 1, posun = 0;
  for (const b of obsahy) {
    for (let i = b.indexOf(10); i >= 0; i = b.indexOf(10, i + 1))
      zacatky[k++] = posun + i + 1;
    posun += b.length;
  }
  return zacatky;
}

// Why a report is not in Windows-1250, as its first bytes tell, or null when it is. The checker
// reads every report as Windows-1250, as the office does; the page only warns. A byte order
// mark is the surest sign; else the encoding that the XML declaration names (the names of
// Windows-1250 in any case). A document that names no encoding is UTF-8 by the rules of XML,
// and any XML reader takes it so: it is reported too. A document that names Windows-1250 but
// whose first megabyte holds letters that are only whole as UTF-8 was saved as UTF-8 by an
// editor that kept the declaration: the letters of Windows-1250 almost never make such a
// sequence (a Czech letter, from 0xE1 on, would need two bytes of 0x80-0xBF after it).
const WINDOWS_1250 = /^(windows-1250|cp1250)$/i;

function kodovaniVykazu(b) {
  if (b[0] === 0xef && b[1] === 0xbb && b[2] === 0xbf)
    return {duvod: 'bom', nazev: 'UTF-8'};
  if ((b[0] === 0xfe && b[1] === 0xff) || (b[0] === 0xff && b[1] === 0xfe))
    return {duvod: 'bom', nazev: 'UTF-16'};
  const hlava = new TextDecoder('latin1').decode(b.subarray(0, 512));
  const deklarace = /^\s*<\?xml(\s[^>]*?)?\?>/.exec(hlava);
  const nazev = deklarace && /\sencoding\s*=\s*(["'])([^"']*)\1/.exec(deklarace[1] || '');
  if (!nazev)
    return {duvod: 'bez', nazev: ''};
  if (!WINDOWS_1250.test(nazev[2].trim()))
    return {duvod: 'deklarace', nazev: nazev[2]};
  let konec = Math.min(b.length, 1 << 20);
  const prvni = b.subarray(0, konec).findIndex(x => x >= 0x80);
  if (prvni < 0)
    return null;
  while (konec > prvni && b[konec - 1] >= 0x80) // not into a letter cut by the megabyte's end
    --konec;
  try {
    new TextDecoder('utf-8', {fatal: true}).decode(b.subarray(prvni, konec));
  } catch {
    return null;
  }
  return {duvod: 'obsah', nazev: nazev[2]};
}

async function kontrola(soubory, bezVarovani) {
  const zacatek = performance.now();
  await nacitani;
  for (const jmeno of modul.FS.readdir(VSTUP))
    if (jmeno !== '.' && jmeno !== '..')
      modul.FS.unlink(VSTUP + '/' + jmeno);
  const jmena = soubory.map(f => bajty(f.name));
  if (soubory.length > 1) {
    const mezera = soubory.find(f => /\s/.test(f.name));
    if (mezera)
      throw new Error(`Název „${mezera.name}“ obsahuje mezeru, v seznamu souborů ho nelze použít.`);
    const videno = new Set();
    for (const b of jmena) {
      const j = jmenoVeFS(b);
      if (videno.has(j))
        throw new Error(`Dva vybrané soubory mají stejný název: ${cp1250.decode(b)}.`);
      videno.add(j);
    }
  }
  obsahy = [], zacatky = null;
  for (const f of soubory)
    obsahy.push(new Uint8Array(await f.arrayBuffer()));
  const jinak = [];
  obsahy.forEach((b, i) => {
    const k = kodovaniVykazu(b);
    if (k)
      jinak.push({jmeno: soubory[i].name, ...k});
  });
  postMessage({typ: 'kodovani', vykazy: jinak});
  for (let i = 0; i < soubory.length; ++i)
    modul.FS.writeFile(jmenoVeFS(jmena[i]), obsahy[i], {canOwn: true});
  let argument = jmena[0];
  const seznam = soubory.length > 1;
  if (seznam) {
    const seznam = [];
    for (const b of jmena)
      seznam.push(...b, 10);
    modul.FS.writeFile(SEZNAM, Uint8Array.from(seznam));
    argument = bajty(SEZNAM);
  }
  vstup = {argument, seznam, bezVarovani};
  const nacteno = performance.now();
  posledniPrubeh = 0;
  const kod = spust(argument, null, null, true);
  const hotovo = performance.now();
  posliRadky();
  postMessage({
    typ: 'hotovo', kod, celkem, konzole: textKonzole(),
    ms: {cteni: nacteno - zacatek, kontrola: hotovo - nacteno},
  });
  zacatky = zacatkyRadek(obsahy);
  let posun = 0;
  const prvni = obsahy.map(b => { // the line that holds the first byte of each report
    let lo = 0, hi = zacatky.length - 1;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (zacatky[mid] <= posun) lo = mid; else hi = mid - 1;
    }
    posun += b.length;
    return lo + 1;
  });
  postMessage({typ: 'radky', pocet: zacatky.length, prvni});
}

// Bytes from..to of the reports read as one stream.
function usek(od, po) {
  const kusy = [];
  let posun = 0;
  for (const b of obsahy) {
    const a = Math.max(od - posun, 0), z = Math.min(po - posun, b.length);
    if (a < z)
      kusy.push(b.subarray(a, z));
    posun += b.length;
  }
  if (kusy.length === 1)
    return kusy[0];
  const spolu = new Uint8Array(kusy.reduce((s, k) => s + k.length, 0));
  let at = 0;
  for (const k of kusy)
    spolu.set(k, at), at += k.length;
  return spolu;
}

// Lines od..po-1 as text, without their line ends (a long line is cut for the view).
function text(od, po, dotaz) {
  if (zacatky === null) // a new check has begun
    return;
  const celkem = obsahy.reduce((s, b) => s + b.length, 0), radky = [];
  for (let k = od; k < Math.min(po, zacatky.length); ++k) {
    const konec = k + 1 < zacatky.length ? zacatky[k + 1] - 1 : celkem;
    let t = cp1250.decode(usek(zacatky[k], Math.min(konec, zacatky[k] + 4000)));
    if (konec > zacatky[k] + 4000)
      t += ' …';
    radky.push(t.replace(/\r/g, ''));
  }
  postMessage({typ: 'text', od, radky, dotaz});
}

const PRIPONY = {htm: 'kufe.htm', csv: 'kufe.csv', txt: 'kufe.txt', xml: 'kufe.xml'};
const KOPIE = 'kufv.xml';

function soubor(format) {
  const jmeno = format === 'kopie' ? KOPIE : PRIPONY[format];
  const cesta = VYSLEDKY + '/' + jmeno;
  const kod = format === 'kopie' ? spust(vstup.argument, null, bajty(cesta), false)
                                 : spust(vstup.argument, bajty(cesta), null, false);
  if (kod !== 0)
    throw new Error(textKonzole());
  const obsah = modul.FS.readFile(cesta);
  modul.FS.unlink(cesta);
  postMessage({typ: 'soubor', format, jmeno, obsah}, [obsah.buffer]);
}

onmessage = async e => {
  const m = e.data;
  try {
    if (m.typ === 'kontrola')
      await kontrola(m.soubory, m.bezVarovani);
    else if (m.typ === 'text')
      text(m.od, m.po, m.dotaz);
    else if (m.typ === 'soubor')
      soubor(m.format);
  } catch (chyba) {
    postMessage({typ: 'chyba', format: m.format, zprava: String(chyba.message || chyba)});
  }
};
