// The page: the clerk chooses reports, the worker checks them, and the page shows the totals,
// the protocol as a table and the report's text with every finding marked at its line. Long
// lists draw only the rows on screen.
'use strict';

const $ = id => document.getElementById(id);
const MAX_VYSKA = 4e6; // px: taller lists are scrolled in proportion (browsers cap heights)

// A list of rows of one fixed height in a scrolling box, of which only the rows on screen
// exist; `vykresli(from, to)` fills the floating part with rows from..to-1.
class Seznam {
  constructor(okno, vykresli) {
    this.okno = okno;
    this.vyska = okno.querySelector('.vyska');
    this.plovouci = okno.querySelector('.plovouci');
    this.vykresli = vykresli;
    this.pocet = 0;
    this.radek = parseFloat(getComputedStyle(document.documentElement).getPropertyValue('--radek'));
    okno.addEventListener('scroll', () => this.obnov());
  }
  nastav(pocet) {
    this.pocet = pocet;
    this.vyska.style.height = Math.min(pocet * this.radek, MAX_VYSKA) + 'px';
    this.obnov();
  }
  // Pixels of the whole list, and how far its scroll can go.
  rozsah() {
    const v = this.okno.clientHeight;
    return {skutecny: Math.max(0, this.pocet * this.radek - v),
            posuvnik: Math.max(0, Math.min(this.pocet * this.radek, MAX_VYSKA) - v)};
  }
  obnov() {
    const r = this.rozsah(), top = this.okno.scrollTop;
    const pozice = r.posuvnik > 0 ? top / r.posuvnik * r.skutecny : 0;
    const prvni = Math.floor(pozice / this.radek);
    const naObrazovce = Math.ceil(this.okno.clientHeight / this.radek) + 1;
    this.plovouci.style.top = (top - (pozice - prvni * this.radek)) + 'px';
    this.vykresli(prvni, Math.min(this.pocet, prvni + naObrazovce));
  }
  // Scrolls so that row i is in the middle of the box.
  ukaz(i) {
    const r = this.rozsah();
    const pozice = Math.max(0, Math.min(r.skutecny,
                                        i * this.radek - this.okno.clientHeight / 2 + this.radek / 2));
    this.okno.scrollTop = r.skutecny > 0 ? pozice / r.skutecny * r.posuvnik : 0;
    this.obnov();
  }
}

// ---- State of the page -----------------------------------------------------------------------

let prace = null;     // the worker
let soubory = [];     // the chosen reports
let nalezy = [];      // protocol rows: [line, code, employer, employee, element, value, expected, description]
let radkyNalezu = []; // per row: the line numbers it names
let poRadcich = new Map(); // line number -> rows naming it
let zobrazene = [];   // rows shown, after filter and sort
let razeni = {sloupec: -1, vzestupne: true};
let vybrany = -1;     // row chosen in the table
let aktivniRadky = new Set();
let pocetRadek = 0;   // lines of the reports read as one stream, once the worker has counted
let prvniRadky = new Map(); // in list mode: first line of each report -> its name
let dotazTextu = 0;   // the latest request for lines of the text view
let zacatekKontroly = 0;
let stahovani = new Map(); // format -> button waiting for its file

const tabulka = new Seznam($('nalezy-okno'), vykresliNalezy);
const text = new Seznam($('text-okno'), vykresliText);

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
  nalezy = [], radkyNalezu = [], poRadcich = new Map(), zobrazene = [], vybrany = -1;
  aktivniRadky = new Set(), pocetRadek = 0, prvniRadky = new Map(), stahovani = new Map();
  document.body.dataset.stav = 'kontrola';
  document.body.dataset.text = '';
  $('vysledek').hidden = true;
  $('hlaseni').hidden = true;
  $('detail').hidden = true;
  $('prubeh-obal').hidden = false;
  $('prubeh').value = 0;
  $('stav-text').textContent = 'Kontroluji…';
  zacatekKontroly = performance.now();
  prace.postMessage({typ: 'kontrola', soubory, bezVarovani: $('bez-varovani').checked});
}

function vyber(seznam) {
  soubory = Array.from(seznam);
  zkontroluj();
}

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

const cislo = n => Math.round(n).toLocaleString('cs-CZ');

function zprava(e) {
  const m = e.data;
  switch (m.typ) {
  case 'prubeh': {
    if (document.body.dataset.stav !== 'kontrola')
      break;
    const celkem = Math.max(m.velikost, soubory.reduce((s, f) => s + f.size, 0));
    const podil = celkem > 0 ? Math.min(1, m.precteno / celkem) : 0;
    $('prubeh').value = podil;
    $('stav-text').textContent = `Kontroluji… ${Math.floor(podil * 100)} %, ` +
                                 `záznamů ${cislo(m.zaznamu)}, řádek ${cislo(m.radek)}`;
    break;
  }
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
      const b = stahovani.get(m.format);
      stahovani.delete(m.format);
      if (b)
        b.disabled = false;
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
  $('celkem-e').textContent = cislo(m.celkem.chyby);
  $('celkem-w').textContent = cislo(m.celkem.varovani);
  $('celkem-pozn').textContent = $('bez-varovani').checked && m.celkem.varovani > 0
      ? '(varování se nevypisují)' : '';
  $('stav-text').textContent = `Zkontrolováno: ${soubory.map(f => f.name).join(', ')} ` +
                               `za ${(ms / 1000).toFixed(1)} s.`;
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
  zobrazene = [];
  for (let i = 0; i < nalezy.length; ++i) {
    const r = nalezy[i];
    if ((vaha && r[1][0] !== vaha) || (kod && r[1] !== kod) || (hledaZam && r[2] !== zam))
      continue;
    zobrazene.push(i);
  }
  serad();
  $('pocet-zobrazeno').textContent = zobrazene.length === nalezy.length
      ? `${cislo(nalezy.length)} řádků` : `zobrazeno ${cislo(zobrazene.length)} z ${cislo(nalezy.length)}`;
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
  for (const th of document.querySelectorAll('#nalezy-hlavicka th'))
    th.dataset.razeni = +th.dataset.sloupec === s ? (razeni.vzestupne ? 'vzestupne' : 'sestupne') : '';
}

for (const th of document.querySelectorAll('#nalezy-hlavicka th')) {
  th.dataset.nazev = th.textContent;
  th.addEventListener('click', () => {
    const s = +th.dataset.sloupec;
    razeni = {sloupec: s, vzestupne: razeni.sloupec === s ? !razeni.vzestupne : true};
    pouzijFiltr();
    for (const h of document.querySelectorAll('#nalezy-hlavicka th'))
      h.textContent = h.dataset.nazev + (h.dataset.razeni === 'vzestupne' ? ' ▲'
                                         : h.dataset.razeni === 'sestupne' ? ' ▼' : '');
  });
}

function vykresliNalezy(od, po) {
  const tbody = $('nalezy').tBodies[0];
  $('nalezy-hlavicka').style.width = $('nalezy-okno').clientWidth + 'px'; // beside the scroll bar
  const radky = [];
  for (let k = od; k < po; ++k) {
    const i = zobrazene[k], r = nalezy[i];
    const tr = document.createElement('tr');
    tr.dataset.i = i;
    tr.className = (r[1][0] === 'E' ? 'e' : 'w') + (i === vybrany ? ' vybrany' : '');
    for (const t of r) {
      const td = document.createElement('td');
      td.textContent = t;
      td.title = t;
      tr.appendChild(td);
    }
    radky.push(tr);
  }
  tbody.replaceChildren(...radky);
}

$('nalezy').addEventListener('click', e => {
  const tr = e.target.closest('tr');
  if (!tr)
    return;
  vybrany = +tr.dataset.i;
  tabulka.obnov();
  const cisla = radkyNalezu[vybrany];
  aktivniRadky = new Set(cisla);
  if (cisla.length === 0) {
    ukazDetail(null, [vybrany]);
    text.obnov();
    return;
  }
  text.ukaz(cisla[0] - 1);
  ukazDetail(cisla[0], poRadcich.get(cisla[0]));
});

// ---- The report's text -------------------------------------------------------------------------

function pripravText() {
  if (document.body.dataset.stav !== 'hotovo' || pocetRadek === 0)
    return;
  $('text-pozn').textContent = `(${cislo(pocetRadek)} řádků; klepnutím na značku E/W se ukážou nálezy řádku)`;
  text.nastav(pocetRadek);
}

// The worker holds the reports: the view asks it for the lines on screen.
function vykresliText(od, po) {
  if (pocetRadek === 0)
    return;
  prace.postMessage({typ: 'text', od, po, dotaz: ++dotazTextu});
}

function ukazText(od, texty) {
  const radky = [];
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
    const z = document.createElement('span');
    z.className = 'znacka';
    z.textContent = [e ? `E${e > 1 ? e : ''}` : '', w ? `W${w > 1 ? w : ''}` : ''].join(' ').trim();
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
  $('text').replaceChildren(...radky);
  document.body.dataset.text = 'hotovo';
}

$('text').addEventListener('click', e => {
  const div = e.target.closest('.radek');
  if (!div)
    return;
  const cislo = +div.dataset.radek;
  if (!poRadcich.has(cislo))
    return;
  aktivniRadky = new Set([cislo]);
  text.obnov();
  ukazDetail(cislo, poRadcich.get(cislo));
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
  d.replaceChildren(nadpis, ul);
  d.hidden = false;
}

// ---- Downloads ---------------------------------------------------------------------------------

$('stazeni').addEventListener('click', e => {
  const b = e.target.closest('button');
  if (!b || stahovani.has(b.dataset.format))
    return;
  b.disabled = true;
  stahovani.set(b.dataset.format, b);
  prace.postMessage({typ: 'soubor', format: b.dataset.format});
});

function ulozSoubor(m) {
  const b = stahovani.get(m.format);
  stahovani.delete(m.format);
  if (b)
    b.disabled = false;
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
