// The page: the clerk chooses reports, the worker checks them, and the page shows the verdict,
// the totals, the protocol as a table and the report's text with every finding marked at its
// line. Long lists draw only the rows on screen. Everything works from the keyboard: Tab
// reaches each control, one row of the protocol and one mark of the text; the arrow keys move
// between the rows and between the marks.
'use strict';

const $ = id => document.getElementById(id);
const MAX_VYSKA = 4e6; // px: taller lists are scrolled in proportion (browsers cap heights)

// A list of rows of one fixed height in a scrolling box, of which only the rows on screen
// exist; `vykresli(from, to)` fills the floating part with rows from..to-1. A table's heading
// row (its thead, sticky at the top of the box) takes its height off the box.
class Seznam {
  constructor(okno, vykresli) {
    this.okno = okno;
    this.vyska = okno.querySelector('.vyska');
    this.plovouci = okno.querySelector('.plovouci');
    this.hlavicka = okno.querySelector('thead');
    this.vykresli = vykresli;
    this.pocet = 0;
    this.radek = parseFloat(getComputedStyle(document.documentElement).getPropertyValue('--radek'));
    okno.addEventListener('scroll', () => this.obnov());
  }
  nastav(pocet) {
    this.pocet = pocet;
    this.obnov();
  }
  // The heading's height, the rows' part of the box, the pixels of the whole list and how far
  // its scroll can go.
  rozsah() {
    const h = this.hlavicka ? this.hlavicka.offsetHeight : 0;
    const v = Math.max(this.radek, this.okno.clientHeight - h), cela = this.pocet * this.radek;
    return {h, v, skutecny: Math.max(0, cela - v), posuvnik: Math.max(0, Math.min(cela, MAX_VYSKA) - v)};
  }
  // Where in the whole list the top of the box is.
  pozice(r) {
    return r.posuvnik > 0 ? Math.min(this.okno.scrollTop, r.posuvnik) / r.posuvnik * r.skutecny : 0;
  }
  // Scrolls to a place in the whole list; `nahoru` rounds so that nothing below it is hidden.
  posun(pozice, r, nahoru) {
    const p = Math.max(0, Math.min(r.skutecny, pozice));
    const top = r.skutecny > 0 ? p / r.skutecny * r.posuvnik : 0;
    this.okno.scrollTop = nahoru ? Math.floor(top) : Math.ceil(top);
  }
  obnov() {
    const r = this.rozsah();
    const vyska = (Math.min(this.pocet * this.radek, MAX_VYSKA) + r.h) + 'px';
    if (this.vyska.style.height !== vyska)
      this.vyska.style.height = vyska;
    const top = this.okno.scrollTop, pozice = this.pozice(r);
    const prvni = Math.floor(pozice / this.radek);
    const naObrazovce = Math.ceil(r.v / this.radek) + 1;
    this.plovouci.style.top = (top - (pozice - prvni * this.radek)) + 'px';
    this.vykresli(prvni, Math.min(this.pocet, prvni + naObrazovce));
  }
  // Scrolls so that row i is in the middle of the box.
  ukaz(i) {
    const r = this.rozsah();
    this.posun(i * this.radek - r.v / 2 + this.radek / 2, r, true);
    this.obnov();
  }
  // Scrolls as little as makes row i wholly seen.
  zajisti(i) {
    const r = this.rozsah(), pozice = this.pozice(r);
    if (i * this.radek < pozice)
      this.posun(i * this.radek, r, true);
    else if ((i + 1) * this.radek > pozice + r.v)
      this.posun((i + 1) * this.radek - r.v, r, false);
    this.obnov();
  }
  // The first row on screen.
  prvni() {
    return Math.floor(this.pozice(this.rozsah()) / this.radek);
  }
  // Rows that fit in the box, for Page Up and Page Down.
  strana() {
    return Math.max(1, Math.floor(this.rozsah().v / this.radek) - 1);
  }
}

// ---- State of the page -----------------------------------------------------------------------

let prace = null;     // the worker
let soubory = [];     // the chosen reports
let nalezy = [];      // protocol rows: [line, code, employer, employee, element, value, expected, description]
let radkyNalezu = []; // per row: the line numbers it names
let poRadcich = new Map(); // line number -> rows naming it
let oznacene = [];    // the lines with a mark, in order
let zobrazene = [];   // rows shown, after filter and sort
let razeni = {sloupec: -1, vzestupne: true};
let vybrany = -1;     // row chosen in the table
let kurzor = 0;       // place in `zobrazene` of the row that Tab reaches and the arrows move
let znacka = 0;       // line of the mark that Tab reaches and the arrows move (0: the first shown)
let kZnacce = false;  // the focus goes to that mark as soon as its line is drawn
let aktivniRadky = new Set();
let pocetRadek = 0;   // lines of the reports read as one stream, once the worker has counted
let prvniRadky = new Map(); // in list mode: first line of each report -> its name
let dotazTextu = 0;   // the latest request for lines of the text view
let zacatekKontroly = 0;
let stahovani = new Map(); // format -> button waiting for its file

const tabulka = new Seznam($('nalezy-okno'), vykresliNalezy);
const text = new Seznam($('text-okno'), vykresliText);

// ---- Czech words and numbers -----------------------------------------------------------------

const cislo = n => Math.round(n).toLocaleString('cs-CZ');
// The form of a noun after a number: 1 chyba, 2 chyby, 5 chyb.
const tvar = (n, jedna, dve, pet) => (n === 1 ? jedna : n >= 2 && n <= 4 ? dve : pet);
const velikost = b => (b < 1e3 ? `${b} B` : b < 1e6 ? `${cislo(b / 1e3)} kB`
                               : `${(b / 1e6).toLocaleString('cs-CZ', {maximumFractionDigits: 1})} MB`);

// ---- Choosing and checking -------------------------------------------------------------------

function novaPrace() {
  if (prace)
    prace.terminate();
  const kod = new Blob([$('kod-prace').textContent], {type: 'text/javascript'});
  const url = URL.createObjectURL(kod);
  prace = new Worker(url);
  URL.revokeObjectURL(url);
  prace.onmessage = zprava;
  prace.onerror = e => konecSChybou('Kontrolu nelze spustit: ' + (e.message || 'chyba v prohlížeči'));
}

function zkontroluj() {
  if (soubory.length === 0)
    return;
  if (document.body.dataset.stav === 'kontrola')
    novaPrace(); // the check under way is dropped
  nalezy = [], radkyNalezu = [], poRadcich = new Map(), oznacene = [], zobrazene = [];
  vybrany = -1, kurzor = 0, znacka = 0, kZnacce = false;
  aktivniRadky = new Set(), pocetRadek = 0, prvniRadky = new Map(), stahovani = new Map();
  document.body.dataset.stav = 'kontrola';
  document.body.dataset.text = '';
  $('vysledek').hidden = true;
  $('hlaseni').hidden = true;
  $('detail').replaceChildren();
  delete $('detail').dataset.radek;
  $('kodovani').replaceChildren();
  $('souhrn').replaceChildren();
  $('souhrn').className = '';
  $('prubeh-obal').hidden = false;
  $('prubeh').value = 0;
  $('prubeh-text').textContent = '';
  $('stav-text').textContent = 'Kontroluji…';
  zacatekKontroly = performance.now();
  prace.postMessage({typ: 'kontrola', soubory, bezVarovani: $('bez-varovani').checked});
}

function vyber(seznam) {
  soubory = Array.from(seznam);
  $('vybrano').textContent = soubory.length === 0 ? 'Není vybrán žádný výkaz.'
      : (soubory.length > 1 ? `${soubory.length} ${tvar(soubory.length, '', 'výkazy', 'výkazů')}: ` : '') +
        soubory.map(f => `${f.name} (${velikost(f.size)})`).join(', ');
  zkontroluj();
}

$('vybrat').addEventListener('click', () => $('soubory').click());
$('soubory').addEventListener('change', e => vyber(e.target.files));
$('bez-varovani').addEventListener('change', zkontroluj);
const zona = $('vyber');
zona.addEventListener('dragover', () => zona.classList.add('nad'));
zona.addEventListener('dragleave', () => zona.classList.remove('nad'));
zona.addEventListener('drop', () => zona.classList.remove('nad'));
// A report dropped on the box or beside it is checked once, here, where the drop arrives in
// either case, instead of being opened by the browser.
window.addEventListener('dragover', e => e.preventDefault());
window.addEventListener('drop', e => {
  e.preventDefault();
  if (e.dataTransfer.files.length > 0)
    vyber(e.dataTransfer.files);
});

function zprava(e) {
  const m = e.data;
  switch (m.typ) {
  case 'prubeh': {
    if (document.body.dataset.stav !== 'kontrola')
      break;
    const celkem = Math.max(m.velikost, soubory.reduce((s, f) => s + f.size, 0));
    const podil = celkem > 0 ? Math.min(1, m.precteno / celkem) : 0;
    $('prubeh').value = podil;
    $('prubeh-text').textContent = `${Math.floor(podil * 100)} %, záznamů ${cislo(m.zaznamu)}, ` +
                                   `řádek ${cislo(m.radek)}`;
    break;
  }
  case 'kodovani':
    ukazKodovani(m.vykazy);
    break;
  case 'nalezy':
    for (const r of m.radky)
      pridejNalez(r);
    break;
  case 'hotovo':
    hotovo(m);
    break;
  case 'radky':
    pocetRadek = m.pocet;
    if (soubory.length > 1)
      m.prvni.forEach((r, i) => prvniRadky.set(r, soubory[i].name));
    pripravText();
    break;
  case 'text':
    if (m.dotaz === dotazTextu)
      ukazText(m.od, m.radky);
    break;
  case 'soubor':
    ulozSoubor(m);
    break;
  case 'chyba':
    if (m.format) {
      pripravenoKeStazeni(stahovani.get(m.format));
      stahovani.delete(m.format);
      ukazHlaseni('Soubor nelze vytvořit:\n' + m.zprava);
    } else {
      konecSChybou(m.zprava);
    }
    break;
  }
}

function pridejNalez(r) {
  const i = nalezy.length;
  nalezy.push(r);
  const cisla = r[0].split(',').map(s => parseInt(s, 10)).filter(n => n > 0);
  radkyNalezu.push(cisla);
  for (const c of cisla) {
    if (!poRadcich.has(c))
      poRadcich.set(c, []);
    poRadcich.get(c).push(i);
  }
}

function ukazHlaseni(t) {
  $('hlaseni').textContent = t;
  $('hlaseni').hidden = false;
}

function konecSChybou(t) {
  document.body.dataset.stav = 'chyba';
  $('prubeh-obal').hidden = true;
  $('stav-text').textContent = 'Kontrola se nezdařila.';
  ukazHlaseni(t);
}

// The reports that are not in Windows-1250, as the worker found them: the check has run as
// always, but their letters are read wrong, here and at the office.
function ukazKodovani(vykazy) {
  const obal = $('kodovani'), odstavce = [];
  for (const v of vykazy) {
    const p = document.createElement('p'), jmeno = document.createElement('b');
    jmeno.textContent = v.jmeno;
    const proc = {
      deklarace: ` je podle své deklarace XML v kódování ${v.nazev}.`,
      bom: ` je uložen v kódování ${v.nazev} (začíná jeho značkou BOM).`,
      obsah: ` je uložen v kódování UTF-8, ačkoli jeho deklarace XML uvádí ${v.nazev}.`,
      bez: ' neuvádí své kódování (nemá deklaraci XML s údajem encoding), takže ho čtečky XML ' +
           'berou jako UTF-8.',
    }[v.duvod];
    p.append('Pozor: výkaz ', jmeno, proc);
    odstavce.push(p);
  }
  if (odstavce.length === 0)
    return obal.replaceChildren();
  const p = document.createElement('p'), code = document.createElement('code');
  code.textContent = '<?xml version="1.0" encoding="windows-1250"?>';
  p.append('Úřad očekává výkaz v kódování Windows-1250, jinak budou česká písmena v protokolu, ' +
           'v textu výkazu i na úřadě špatně. Kontrola proběhla jako obvykle. Uložte výkaz ' +
           'v kódování Windows-1250 a s deklarací ', code, '.');
  obal.replaceChildren(...odstavce, p);
}

function hotovo(m) {
  $('prubeh-obal').hidden = true;
  if (m.kod !== 0) {
    // the checker's own words after the last progress line, without the banner
    konecSChybou(m.konzole.slice(m.konzole.lastIndexOf('\r') + 1)
                     .replace(/^\s*Program\s+\S+\s+kontola dat pro KUF\n/, '').replace(/\n+$/, ''));
    return;
  }
  const ms = performance.now() - zacatekKontroly;
  window.ld952Cas = {celkem: ms, cteni: m.ms.cteni, kontrola: m.ms.kontrola};
  const e = m.celkem.chyby, w = m.celkem.varovani, bezW = $('bez-varovani').checked;
  $('celkem-e').textContent = cislo(e);
  $('celkem-w').textContent = cislo(w);
  $('celkem-pozn').textContent = bezW && w > 0 ? '(varování se nevypisují)' : '';
  const vice = soubory.length > 1;
  $('stav-text').textContent = `Zkontrolováno: ${soubory.map(f => f.name).join(', ')} za ` +
      `${(ms / 1000).toLocaleString('cs-CZ', {minimumFractionDigits: 1, maximumFractionDigits: 1})} s.`;
  const souhrn = $('souhrn');
  if (e > 0) {
    souhrn.className = 'chyby';
    souhrn.textContent = `${vice ? 'Výkazy obsahují' : 'Výkaz obsahuje'} ${cislo(e)} ` +
                         `${tvar(e, 'chybu', 'chyby', 'chyb')}${w > 0 ? ` a ${cislo(w)} varování` : ''}.`;
  } else if (w > 0) {
    souhrn.className = 'varovani';
    souhrn.textContent = `${vice ? 'Výkazy jsou bez chyb, obsahují' : 'Výkaz je bez chyb, obsahuje'} ` +
                         `jen varování (${cislo(w)}).`;
  } else {
    souhrn.className = 'bez-chyb';
    souhrn.textContent = vice ? 'Výkazy jsou bez chyb.' : 'Výkaz je bez chyb.';
  }
  const prazdny = nalezy.length === 0;
  $('protokol').hidden = prazdny;
  $('bez-nalezu').hidden = !prazdny;
  $('bez-nalezu').textContent = w > 0 ? 'Protokol neobsahuje žádný nález: varování se při volbě ' +
                                        '„bez varování“ jen počítají, nevypisují se.'
                                      : 'Protokol neobsahuje žádný nález.';
  oznacene = [...poRadcich.keys()].sort((a, b) => a - b);
  naplnFiltry();
  $('vysledek').hidden = false;
  pouzijFiltr();
  document.body.dataset.stav = 'hotovo';
  pripravText();
}

// ---- The protocol table ------------------------------------------------------------------------

function naplnFiltry() {
  const pocty = (k) => {
    const m = new Map();
    for (const r of nalezy)
      m.set(r[k], (m.get(r[k]) || 0) + 1);
    return [...m.entries()].sort((a, b) => (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0));
  };
  for (const [id, k] of [['filtr-kod', 1], ['filtr-zam', 2]]) {
    const s = $(id);
    s.length = 1;
    for (const [hodnota, n] of pocty(k))
      s.add(new Option(`${hodnota.trim() || '(žádný)'} (${n})`, hodnota));
  }
  $('filtr-vaha').value = '';
}

for (const id of ['filtr-vaha', 'filtr-kod', 'filtr-zam'])
  $(id).addEventListener('change', pouzijFiltr);

function pouzijFiltr() {
  const vaha = $('filtr-vaha').value, kod = $('filtr-kod').value, zam = $('filtr-zam').value;
  const hledaZam = $('filtr-zam').selectedIndex > 0;
  const pred = zobrazene[kurzor];
  zobrazene = [];
  for (let i = 0; i < nalezy.length; ++i) {
    const r = nalezy[i];
    if ((vaha && r[1][0] !== vaha) || (kod && r[1] !== kod) || (hledaZam && r[2] !== zam))
      continue;
    zobrazene.push(i);
  }
  serad();
  kurzor = Math.max(0, zobrazene.indexOf(pred)); // the row Tab reaches stays, if it is shown
  $('pocet-zobrazeno').textContent = zobrazene.length === nalezy.length
      ? `${cislo(nalezy.length)} řádků` : `zobrazeno ${cislo(zobrazene.length)} z ${cislo(nalezy.length)}`;
  $('nalezy').setAttribute('aria-rowcount', zobrazene.length + 1);
  tabulka.nastav(zobrazene.length);
}

function serad() {
  const s = razeni.sloupec;
  if (s >= 0) {
    const smer = razeni.vzestupne ? 1 : -1;
    const klic = s === 0 ? (i => radkyNalezu[i][0] ?? 0) : (i => nalezy[i][s]);
    zobrazene.sort((a, b) => {
      const x = klic(a), y = klic(b);
      return (x < y ? -1 : x > y ? 1 : a - b) * smer;
    });
  }
  for (const th of document.querySelectorAll('#nalezy th')) {
    const tento = +th.dataset.sloupec === s;
    if (tento)
      th.setAttribute('aria-sort', razeni.vzestupne ? 'ascending' : 'descending');
    else
      th.removeAttribute('aria-sort');
    th.querySelector('span').textContent = tento ? (razeni.vzestupne ? ' ▲' : ' ▼') : '';
  }
}

for (const th of document.querySelectorAll('#nalezy th')) {
  th.querySelector('button').addEventListener('click', () => {
    const s = +th.dataset.sloupec;
    razeni = {sloupec: s, vzestupne: razeni.sloupec === s ? !razeni.vzestupne : true};
    pouzijFiltr();
  });
}

// Only the rows on screen exist, so the row that has the focus is drawn anew as the box
// scrolls: the focus goes to the new one, or to the box while its row is off screen.
function vykresliNalezy(od, po) {
  const tbody = $('nalezy').tBodies[0], okno = $('nalezy-okno');
  const a = document.activeElement, fokus = a === okno || (a && a.parentNode === tbody);
  const tabem = kurzor >= od && kurzor < po ? kurzor : od;
  const radky = [];
  for (let k = od; k < po; ++k) {
    const i = zobrazene[k], r = nalezy[i];
    const tr = document.createElement('tr');
    tr.dataset.i = i;
    tr.dataset.k = k;
    tr.className = (r[1][0] === 'E' ? 'e' : 'w') + (i === vybrany ? ' vybrany' : '');
    tr.tabIndex = k === tabem ? 0 : -1;
    tr.setAttribute('aria-rowindex', k + 2);
    tr.setAttribute('aria-selected', i === vybrany ? 'true' : 'false');
    for (const t of r) {
      const td = document.createElement('td');
      td.textContent = t;
      td.title = t;
      tr.appendChild(td);
    }
    radky.push(tr);
  }
  tbody.replaceChildren(...radky);
  if (fokus) {
    const tr = tbody.querySelector(`tr[data-k="${kurzor}"]`);
    (tr || okno).focus({preventScroll: true});
  }
}

function radekTabulky(k) {
  return $('nalezy').tBodies[0].querySelector(`tr[data-k="${k}"]`);
}

// Moves the row that the arrows move to place k, scrolled into view, with the focus.
function presunKurzor(k) {
  if (zobrazene.length === 0)
    return;
  kurzor = Math.max(0, Math.min(zobrazene.length - 1, k));
  tabulka.zajisti(kurzor);
  const tr = radekTabulky(kurzor);
  if (tr)
    tr.focus({preventScroll: true});
}

// The chosen row: its line is shown in the report's text, marked, with its findings below.
function vyberRadek(k) {
  kurzor = k;
  vybrany = zobrazene[k];
  tabulka.obnov();
  const cisla = radkyNalezu[vybrany];
  aktivniRadky = new Set(cisla);
  if (cisla.length === 0) {
    ukazDetail(null, [vybrany]);
    text.obnov();
    return;
  }
  znacka = cisla[0];
  text.ukaz(cisla[0] - 1);
  ukazDetail(cisla[0], poRadcich.get(cisla[0]));
}

$('nalezy').addEventListener('click', e => {
  const tr = e.target.closest('tbody tr');
  if (tr)
    vyberRadek(+tr.dataset.k);
});

$('nalezy').addEventListener('focusin', e => {
  if (e.target.dataset.k !== undefined && +e.target.dataset.k !== kurzor) {
    kurzor = +e.target.dataset.k;
    for (const tr of $('nalezy').tBodies[0].rows)
      tr.tabIndex = tr === e.target ? 0 : -1;
  }
});

$('nalezy-okno').addEventListener('keydown', e => {
  const okno = $('nalezy-okno'), naRadku = e.target === okno || e.target.parentNode === $('nalezy').tBodies[0];
  if (!naRadku) {
    if (e.key === 'ArrowDown' && e.target.closest('thead')) { // from a heading into the rows
      e.preventDefault();
      presunKurzor(kurzor);
    }
    return;
  }
  const kroky = {ArrowDown: 1, ArrowUp: -1, PageDown: tabulka.strana(), PageUp: -tabulka.strana()};
  if (e.key in kroky) {
    presunKurzor(kurzor + kroky[e.key]);
  } else if (e.key === 'Home' || e.key === 'End') {
    presunKurzor(e.key === 'Home' ? 0 : zobrazene.length - 1);
  } else if (e.key === 'Enter' || e.key === ' ') {
    if (zobrazene.length > 0)
      vyberRadek(kurzor);
  } else if (e.key === 'ArrowLeft' || e.key === 'ArrowRight') {
    okno.scrollLeft += (e.key === 'ArrowLeft' ? -1 : 1) * okno.clientWidth / 3;
  } else {
    return;
  }
  e.preventDefault();
});

// ---- The report's text -------------------------------------------------------------------------

function pripravText() {
  if (document.body.dataset.stav !== 'hotovo' || pocetRadek === 0)
    return;
  $('text-pozn').textContent = `(${cislo(pocetRadek)} řádků` +
      (oznacene.length > 0 ? '; značka E/W ukáže nálezy řádku; šipky přecházejí mezi značkami, ' +
                              'Enter v textu skočí na nejbližší)' : ')');
  text.nastav(pocetRadek);
}

// The worker holds the reports: the view asks it for the lines on screen.
function vykresliText(od, po) {
  if (pocetRadek === 0)
    return;
  prace.postMessage({typ: 'text', od, po, dotaz: ++dotazTextu});
}

function ukazText(od, texty) {
  const a = document.activeElement, fokus = kZnacce || (a && a.classList.contains('znacka'));
  kZnacce = false;
  const radky = [];
  let tabem = null;
  texty.forEach((t, k) => {
    const cislo = od + k + 1;
    const div = document.createElement('div');
    div.className = 'radek';
    div.dataset.radek = cislo;
    const naRadku = poRadcich.get(cislo) || [];
    let e = 0, w = 0;
    for (const i of naRadku)
      nalezy[i][1][0] === 'E' ? ++e : ++w;
    if (naRadku.length > 0)
      div.classList.add(e > 0 ? 'e' : 'w');
    if (aktivniRadky.has(cislo))
      div.classList.add('aktivni');
    const c = document.createElement('span');
    c.className = 'cislo';
    c.textContent = cislo;
    const z = document.createElement(naRadku.length > 0 ? 'button' : 'span');
    z.className = 'znacka';
    z.textContent = [e ? `E${e > 1 ? e : ''}` : '', w ? `W${w > 1 ? w : ''}` : ''].join(' ').trim();
    if (naRadku.length > 0) {
      z.type = 'button';
      z.tabIndex = -1;
      z.setAttribute('aria-label', `${z.textContent}: řádek ${cislo}, ` +
          [e ? `${e} ${tvar(e, 'chyba', 'chyby', 'chyb')}` : '', w ? `${w} varování` : '']
              .filter(Boolean).join(' a '));
      z.setAttribute('aria-controls', 'detail');
      z.setAttribute('aria-expanded', $('detail').dataset.radek === String(cislo) ? 'true' : 'false');
      if (cislo === znacka || (tabem === null && znacka === 0))
        tabem = z;
    }
    const o = document.createElement('span');
    o.className = 'obsah';
    o.textContent = t;
    div.append(c, z, o);
    if (prvniRadky.has(cislo)) {
      const s = document.createElement('span');
      s.className = 'soubor';
      s.textContent = `   ← ${prvniRadky.get(cislo)}`;
      div.append(s);
    }
    radky.push(div);
  });
  tabem ??= radky.map(d => d.querySelector('button')).find(Boolean);
  if (tabem)
    tabem.tabIndex = 0;
  $('text').replaceChildren(...radky);
  if (fokus)
    (radky.length && $('text').querySelector(`.radek[data-radek="${znacka}"] button`) || $('text-okno'))
        .focus({preventScroll: true});
  document.body.dataset.text = 'hotovo';
}

function ukazZnacku(cislo) {
  if (!poRadcich.has(cislo))
    return;
  znacka = cislo;
  aktivniRadky = new Set([cislo]);
  ukazDetail(cislo, poRadcich.get(cislo));
  text.obnov();
}

$('text').addEventListener('click', e => {
  const div = e.target.closest('.radek');
  if (div)
    ukazZnacku(+div.dataset.radek);
});

$('text').addEventListener('focusin', e => {
  if (e.target.classList.contains('znacka'))
    znacka = +e.target.closest('.radek').dataset.radek;
});

// Moves the mark that Tab reaches to line `cislo`, scrolled into view, with the focus.
function jdiNaZnacku(cislo) {
  znacka = cislo;
  kZnacce = true; // if its line is not drawn yet, the focus follows when the worker sends it
  text.zajisti(cislo - 1);
  const z = $('text').querySelector(`.radek[data-radek="${cislo}"] button`);
  if (z)
    z.focus({preventScroll: true});
}

// Up and Down, Page Up and Page Down, Home and End on a mark go to another marked line.
$('text').addEventListener('keydown', e => {
  if (!e.target.classList.contains('znacka') || oznacene.length === 0)
    return;
  const tady = oznacene.indexOf(znacka);
  const cil = {ArrowDown: tady + 1, ArrowUp: tady - 1, PageDown: tady + 10, PageUp: tady - 10,
               Home: 0, End: oznacene.length - 1}[e.key];
  if (cil === undefined)
    return;
  e.preventDefault();
  jdiNaZnacku(oznacene[Math.max(0, Math.min(oznacene.length - 1, cil))]);
});

// Enter on the text's box (which Tab reaches alone where no mark is on screen) goes to the
// first mark from the top of the box on, or to the last one.
$('text-okno').addEventListener('keydown', e => {
  if (e.target !== $('text-okno') || e.key !== 'Enter' || oznacene.length === 0)
    return;
  e.preventDefault();
  const od = text.prvni() + 1;
  let lo = 0, hi = oznacene.length - 1;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (oznacene[mid] >= od) hi = mid; else lo = mid + 1;
  }
  jdiNaZnacku(oznacene[lo]);
});

function ukazDetail(cislo, rady) {
  const d = $('detail');
  const nadpis = document.createElement('b');
  nadpis.textContent = cislo === null ? 'Nález bez čísla řádku:' : `Řádek ${cislo}:`;
  const ul = document.createElement('ul');
  for (const i of rady) {
    const r = nalezy[i];
    const li = document.createElement('li');
    const kod = document.createElement(r[1][0] === 'E' ? 'b' : 'span');
    kod.textContent = r[1];
    const casti = [r[4].trim() && `prvek ${r[4]}`, r[5].trim() && `hodnota ${r[5]}`,
                   r[6].trim() && `očekáváno ${r[6]}`].filter(Boolean).join(', ');
    li.append(kod, ` ${r[7]}${casti ? ' (' + casti + ')' : ''}`);
    ul.append(li);
  }
  d.dataset.radek = cislo === null ? '' : cislo;
  d.replaceChildren(nadpis, ul);
}

// ---- Downloads ---------------------------------------------------------------------------------

// A button waits for its file marked busy, not disabled, so that it keeps the focus.
function pripravenoKeStazeni(b) {
  if (b)
    b.removeAttribute('aria-disabled');
}

$('stazeni').addEventListener('click', e => {
  const b = e.target.closest('button');
  if (!b || stahovani.has(b.dataset.format))
    return;
  b.setAttribute('aria-disabled', 'true');
  stahovani.set(b.dataset.format, b);
  prace.postMessage({typ: 'soubor', format: b.dataset.format});
});

function ulozSoubor(m) {
  pripravenoKeStazeni(stahovani.get(m.format));
  stahovani.delete(m.format);
  const url = URL.createObjectURL(new Blob([m.obsah], {type: 'application/octet-stream'}));
  const a = document.createElement('a');
  a.href = url;
  a.download = m.jmeno;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

novaPrace(); // the module is ready by the time a report is chosen
window.addEventListener('resize', () => { tabulka.obnov(); text.obnov(); });
