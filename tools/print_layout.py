#!/usr/bin/env python3
"""Authoring helper of the print layouts.

Writes, from one table of positions, both the description of the templates
(data/printtemplates/templates.xml, drawn into PDF files by the build) and
the coordinate files of data/USR/YR2024/Res/CoordStp/ that place the values
on them, so that boxes and values cannot drift apart. Run it from the
repository root after changing a layout and commit what it writes.
"""
import re
import xml.etree.ElementTree as ET
from xml.dom import minidom

CAT = ET.parse('data/USR/YR2024/Res/Catalogo/jex.xml').getroot()
# Printed labels for columns whose entry frame shows none.
PRINT_LABELS = {
    'CRERITLAVDIPASSASSFIS_SX': 'Credito ritenute lavoro dipendente e assistenza fiscale',
    'CRERITLAVAUTPROVRDIV_SX': 'Credito ritenute lavoro autonomo, provvigioni e redditi diversi',
    'CRESCARITCAP34_SX': 'Rigo SX34 colonna 2',
    'FQUADROSYRIT1_SS': 'Ritenute art. 25 D.L. n. 78/2010 (quadro SY, sezione III)',
    'FQUADROSYRIT2_SS': 'Ritenute del quadro SY, sezione IV',
}
# Years of the "%s" placeholders, as the entry frames fill them: balances of
# the year before take 2023, everything else the income year 2024.
LABEL_YEARS = {
    'CRERISDICH_SX': ['2023'], 'FIOSSALIRPEF_SS': ['2023'], 'FIOSADDREG_SS': ['2023'],
    'FIOSSALADDREG_SS': ['2023'], 'FIOSCEDSECCLOC_SS': ['2023'],
    'FIOSADDREGTRA_SS': ['2023', '2024'], 'FIOSADDCOMSALTRA_SS': ['2023', '2024'],
}


def print_label(column):
    name = column.get('name')
    label = column.get('label') or PRINT_LABELS.get(name) or name
    for year in LABEL_YEARS.get(name, []) + ['2024'] * label.count('%s'):
        label = label.replace('%s', year, 1)
    return label.replace('\r\n', ' ').replace('\n', ' ')


TEXT_SIZES = {c.get('name'): int(c.get('size') or 0) for c in CAT.iter('column') if c.get('type') == 'text'}
TABLES = {t.get('name'): [(c.get('name'), c.get('type'), print_label(c))
                          for c in t.findall('column')] for t in CAT.findall('table')}
COORD = 'data/USR/YR2024/Res/CoordStp/'
W, H = 595, 842
LEFT, RIGHT = 40, 560
VALUE_SIZE = 7


def ftype(t):
    return {'decimal': 'FF', 'date': 'DT2', 'flag': 'CB'}.get(t, 'SP')


def cols(table, skip=('SSOE7CODICE',), only=None):
    out = []
    for name, t, label in TABLES[table]:
        if name in skip:
            continue
        if only and not only(name):
            continue
        out.append((name, t, label))
    return out


def pretty(elem):
    return minidom.parseString(ET.tostring(elem, encoding='unicode')).toprettyxml(indent='  ', encoding='UTF-8')


class Doc:
    def __init__(self, file):
        self.e = ET.Element('document', file=file)

    def page(self, title, landscape=False):
        p = ET.SubElement(self.e, 'page', title=title)
        if landscape:
            p.set('landscape', '1')
        return p


def text(p, x, y, s, size=7, bold=False):
    t = ET.SubElement(p, 'text', x=str(x), y=str(y), size=str(size))
    if bold:
        t.set('bold', '1')
    t.text = s


def box(p, x, y, w, h, fill=None):
    b = ET.SubElement(p, 'box', x=str(x), y=str(y), w=str(w), h=str(h))
    if fill:
        b.set('fill', fill)


def header(p, title, sub=''):
    box(p, LEFT, 28, RIGHT - LEFT, 44, fill='0.93')
    text(p, LEFT + 6, 42, 'MODELLO 770/2025 - Redditi 2024', 8, True)
    text(p, 330, 38, 'CODICE FISCALE', 5)
    box(p, 330, 41, 190, 16)
    text(p, 526, 38, 'Mod. N.', 5)
    box(p, 526, 41, 30, 16)
    text(p, LEFT + 6, 90, title, 11, True)
    if sub:
        text(p, LEFT + 6, 102, sub, 7)


def add_edit(section, name, typ, align, rects):
    e = ET.SubElement(section, 'Edit', Name=name, Alignment=align, Type=typ)
    for r in rects:
        # Long names and addresses in the narrow boxes of a row table are
        # printed smaller, so that they stay inside their box.
        if TEXT_SIZES.get(name, 0) > 30 and r['Height'] == VALUE_SIZE:
            r = dict(r, Height=5)
        ET.SubElement(e, 'PrintRect', **{k: str(v) for k, v in r.items()})


def rect(top, left, vOffset=0, minIndex=0, maxIndex=0, space=0, height=VALUE_SIZE):
    return dict(Top=top, Left=left, Height=height, Space=space, vOffset=vOffset, oOffset=0,
                MinIndex=minIndex, MaxIndex=maxIndex)


def head_sections(conf, page_mod='ModN', page_cf='CodFis'):
    p = ET.SubElement(conf, 'Page', Name=page_mod, Template='0')
    s = ET.SubElement(p, 'Section', Name='cdsAltreVoci', Repeat='')
    add_edit(s, 'SAVOMODN', 'SP', 'taCenter', [rect(53, 541, height=10)])
    p = ET.SubElement(conf, 'Page', Name=page_cf, Template='0')
    s = ET.SubElement(p, 'Section', Name='cdsSost', Repeat='')
    add_edit(s, 'SSOSCODFIS', 'SP', 'taLeftJustify', [rect(53, 336, height=10, space=2.2)])


def grid(fields, per_line=7):
    """Cells of one row: (field, type, label, line, x, w)."""
    out = []
    width = (RIGHT - LEFT - 24) / per_line
    for i, (name, t, label) in enumerate(fields):
        line, col = divmod(i, per_line)
        out.append((name, t, label, line, LEFT + 24 + col * width, width))
    return out


def row_table(doc, conf, title, table, first_names, following, rows, top, fields, per_line=7,
              correction=None, first_row=1, following_from=0, split=None, label='Rigo'):
    """A page of numbered rows; every row holds the fields in lines of cells."""
    p = doc.page(title)
    header(p, title)
    cells = grid(fields, per_line)
    lines = max(c[3] for c in cells) + 1
    step = 9 + 13 * lines
    corr = correction or (lambda r: 0)
    # Column labels above the first row, one label line for each line of
    # cells, so that no label runs into a box that holds a value.
    for name, t, lab, line, x, w in cells:
        text(p, x + 1, top - 2 - (lines - 1 - line) * 5, lab[:int(w / 2.2)], 4)
    for r in range(rows):
        y = top + r * step + corr(r)
        box(p, LEFT, y, RIGHT - LEFT, step - 3, fill='0.97')
        text(p, LEFT + 3, y + 10, str(r + 1), 7, True)
        for name, t, lab, line, x, w in cells:
            box(p, x + 1, y + line * 13 + 1, w - 2, 11)
    # Coordinates: the first row of a page by its own sections, the others by
    # the row section with a vertical step.
    def base(name, t, line, x, w):
        typ = ftype(t)
        right = typ in ('FF',)
        return typ, ('taRightJustify' if right else 'taLeftJustify'), (x + w - 4 if right else x + 3), line * 13 + 10
    groups = split(cells) if split else [cells]
    for sec_name, group in zip(first_names, groups):
        pg = ET.SubElement(conf, 'Page', Name=sec_name, Template=str(0))
        s = ET.SubElement(pg, 'Section', Name=table, Repeat='')
        for name, t, lab, line, x, w in group:
            typ, al, xx, dy = base(name, t, line, x, w)
            add_edit(s, name, typ, al, [rect(top + dy, int(xx), minIndex=first_row, maxIndex=0)])
    if following:
        pg = ET.SubElement(conf, 'Page', Name=following, Template='0')
        s = ET.SubElement(pg, 'Section', Name=table, Repeat='')
        for name, t, lab, line, x, w in cells:
            typ, al, xx, dy = base(name, t, line, x, w)
            # Row r of this section is line r + 2 of the page (r + 1 for DI).
            shift = 1 if following_from == 0 and first_row == 1 else 0
            add_edit(s, name, typ, al, [rect(top + dy + shift * step, int(xx), vOffset=step,
                                             minIndex=0, maxIndex=rows - 1 - shift)])
    return p


LINE_LABELS = {
    'SPST3MESE': 'Mese', 'SPST3ANNO': 'Anno', 'FPST3RITEFFETTUATE': 'Ritenute operate',
    'FPST3CREDIMPSCOMP': 'Crediti a scomputo', 'FPST3IMPOVERSATO': 'Importo versato', 'FPST3INTERESSI': 'Interessi',
    'LPST3RAVVEDIMENTO': 'Ravv.', 'SPST3NOTCODICE': 'Note', 'SPST3CODTRIBUTO': 'Cod. tributo',
    'DPST3DTVERS': 'Data versamento', 'SPST2MESE': 'Mese', 'SPST2ANNO': 'Anno',
    'FAMMPLSVALEPROV': 'Plusvalenze e proventi', 'FIMPAPPL': 'Imposta applicata',
    'FIMPUTILSCOMP': 'Importi a scomputo', 'FCRIMPUTILSCOMP': 'Crediti a scomputo', 'FIMPVERS': 'Importo versato',
    'FINTERS': 'Interessi', 'LRAVVED': 'Ravv.', 'SNOTE': 'Note', 'SCTRIB': 'Cod. tributo', 'DDTVERS': 'Data versamento',
}


def intermediary_page(doc, conf, roman, cds, title, head_fields, table, lines, line_fields, size=VALUE_SIZE):
    """A page of section III or IV: the intermediary, then numbered lines of payments."""
    types = {n: t for n, t, l in TABLES[table]}
    labels = {n: l for n, t, l in TABLES[table]}
    p = doc.page('QUADRO ST - ' + title)
    header(p, 'QUADRO ST - ' + title)
    head_sections(conf, 'ModNST' + roman, 'CodFisST' + roman)
    pg = ET.SubElement(conf, 'Page', Name='ST' + roman, Template='0')
    s = ET.SubElement(pg, 'Section', Name=cds, Repeat='')
    # The intermediary: one line of boxes under their labels.
    # ABI, BIC/SWIFT, codice fiscale, denominazione (the rest), Stato estero, eventi.
    head_w = [50, 70, 90, 0, 50, 40]
    free = (RIGHT - LEFT) - sum(head_w) - 4 * (len(head_fields) - 1)
    denom = head_fields[3]
    x = LEFT
    top = 130
    text(p, LEFT, top - 6, 'Dati relativi all\'intermediario non residente', 7, True)
    for n, w in zip(head_fields, head_w):
        if not w:
            w = free
        text(p, x + 1, top + 6, (labels.get(n) or n)[:int(w / 2.4)], 4.5)
        box(p, x, top + 9, w, 14)
        add_edit(s, n, 'SP', 'taLeftJustify', [rect(top + 19, int(x + 3), minIndex=1, height=size)])
        x += w + 4
    # The payment lines: narrow boxes for month, year and flags, wide ones for amounts.
    def width_of(n):
        t = types[n]
        if n.startswith(('SPST3MESE', 'SPST2MESE')):
            return 20
        if n.startswith(('SPST3ANNO', 'SPST2ANNO')):
            return 26
        if t == 'flag':
            return 18
        if t == 'date':
            return 54
        if t == 'text':
            return 36
        return 0
    first = LEFT + 30
    fixed = sum(width_of(n + str(lines[0])) for n in line_fields)
    amounts = sum(1 for n in line_fields if width_of(n + str(lines[0])) == 0)
    amount_w = ((RIGHT - first) - fixed) / amounts
    step = 26
    ltop = 190
    x = first
    cells = []
    for n in line_fields:
        w = width_of(n + str(lines[0])) or amount_w
        text(p, x + 1, ltop - 4, LINE_LABELS.get(n, n)[:int(w / 2.2)], 4.5)
        cells.append((n, x, w))
        x += w
    for i, line in enumerate(lines):
        y = ltop + i * step
        box(p, LEFT, y, RIGHT - LEFT, step - 4, fill='0.97')
        text(p, LEFT + 3, y + 13, 'ST%d' % line, 7, True)
        for n, cx, w in cells:
            box(p, cx + 1, y + 3, w - 2, 15)
            name = n + str(line)
            typ = ftype(types[name])
            if typ == 'FF':
                add_edit(s, name, typ, 'taRightJustify', [rect(y + 14, int(cx + w - 4), minIndex=1, height=size)])
            else:
                add_edit(s, name, typ, 'taLeftJustify', [rect(y + 14, int(cx + 3), minIndex=1, height=size)])
    return p


WIDE_FRONT = ('SSOSDENOM', 'SSOSEMAIL', 'SSOSINDIRIZSL', 'SSOSDOMNOTINDIRIZZO', 'SSOSDOMNOTRESIDENZA',
              'SSOSDOMNOTINDESTERO', 'SSOSDOMNOTSTFEDERATO', 'SSOSRAPFIRSTACONT', 'SSOSRAPFIRSTALOC',
              'SSOSRAPFIRSTAIND', 'SSOSINTERMEDIARIO', 'SSOSDICHIARANTE', 'SSOSCAF')


def form_sheet(doc, conf, page_name, template, title, table, fields, cds, per_col=24):
    """One page per record: label and value boxes in two columns."""
    p = doc.page(title)
    header(p, title)
    pg = ET.SubElement(conf, 'Page', Name=page_name, Template=str(template))
    s0 = ET.SubElement(pg, 'Section', Name='cdsAltreVoci', Repeat='')
    add_edit(s0, 'SAVOMODN', 'SP', 'taCenter', [rect(53, 541, height=10)])
    s1 = ET.SubElement(pg, 'Section', Name='cdsSost', Repeat='')
    add_edit(s1, 'SSOSCODFIS', 'SP', 'taLeftJustify', [rect(53, 336, height=10, space=2.2)])
    s = ET.SubElement(pg, 'Section', Name=cds, Repeat='')
    for i, (name, t, label) in enumerate(fields):
        col, row = divmod(i, per_col)
        x = LEFT + col * 260
        y = 120 + row * 28
        text(p, x, y + 9, label[:60], 5.5)
        box(p, x + 150, y, 100, 14)
        typ = ftype(t)
        if typ == 'FF':
            add_edit(s, name, typ, 'taRightJustify', [rect(y + 10, x + 246)])
        else:
            add_edit(s, name, typ, 'taLeftJustify', [rect(y + 10, x + 153)])


def save_conf(conf, file):
    open(COORD + file, 'wb').write(pretty(conf))


def main():
    doc = Doc('770_sempl_mod.pdf')

    # --- front page: template pages 1 to 3
    p = doc.page('Frontespizio - informativa')
    box(p, LEFT, 60, RIGHT - LEFT, 120, fill='0.9')
    text(p, LEFT + 20, 100, 'MODELLO 770/2025', 22, True)
    text(p, LEFT + 20, 130, 'Dichiarazione dei sostituti d\'imposta - periodo d\'imposta 2024', 11)
    text(p, LEFT + 20, 160, 'Riproduzione semplificata delle pagine del modello usate dalle stampe di controllo.', 8)
    text(p, LEFT + 20, 220, 'Informativa sul trattamento dei dati personali: si veda il modello ufficiale.', 8)
    front = ET.Element('Fronte')
    def front_page(title, specs, section_page):
        p = doc.page(title)
        header(p, title)
        y = 112
        sec = None
        col = 0
        STEP = 16
        for kind, a, b in specs:
            if kind == 'section':
                if col % 2:
                    y += STEP
                first = sec is None
                sec = ET.SubElement(front, 'Section', Name=a, Page=str(section_page))
                if first:
                    # The agent's codice fiscale in the page header, as on every
                    # page of the form.
                    e = ET.SubElement(sec, 'Edit', Name='SSOSCODFIS', Alignment='taLeftJustify', Type='X',
                                      Page='0', Space='2.2')
                    ET.SubElement(e, 'PrintRect', Top='53', Left='336', Height='10')
                box(p, LEFT, y, RIGHT - LEFT, 13, fill='0.85')
                text(p, LEFT + 4, y + 9.5, a, 8, True)
                y += 19
                col = 0
                continue
            name, label, typ = a, b, kind
            ftype_ = TYPE_OF.get(name, 'text')
            if name in WIDE_FRONT:
                # Names and addresses take a whole line of their own.
                if col % 2:
                    y += STEP
                text(p, LEFT, y + 7.5, label[:50], 5)
                box(p, LEFT + 128, y, RIGHT - LEFT - 128, 12)
                e = ET.SubElement(sec, 'Edit', Name=name, Alignment='taLeftJustify', Type=typ, Page='0', Space='0')
                ET.SubElement(e, 'PrintRect', Top=str(y + 9), Left=str(LEFT + 131), Height='7')
                col = 0
                y += STEP
                continue
            x = LEFT + (col % 2) * 262
            text(p, x, y + 7.5, label[:50], 5)
            box(p, x + 128, y, 128, 12)
            e = ET.SubElement(sec, 'Edit', Name=name, Alignment='taLeftJustify', Type=typ, Page='0', Space='0')
            ET.SubElement(e, 'PrintRect', Top=str(y + 9), Left=str(x + 131), Height='7')
            col += 1
            if col % 2 == 0:
                y += STEP
        return p
    TYPE_OF = {n: t for n, t, l in TABLES['TSOS_DATOSOSTITUTO']}
    lab = {n: l for n, t, l in TABLES['TSOS_DATOSOSTITUTO']}
    # Captions of the form for the columns that the catalogue leaves unlabelled
    # or labels for the data-entry window rather than for the paper.
    lab.update({
        'SSOSEMAIL': 'Indirizzo di posta elettronica', 'SSOSTEL': 'Telefono (prefisso e numero)',
        'SSOSFAX': 'Fax (prefisso e numero)', 'SSOSINDIRIZSL': 'Sede legale: indirizzo',
        'SSOSCOMUNESL': 'Sede legale: comune', 'SSOSPROVSL': 'Sede legale: provincia', 'SSOSCAPSL': 'Sede legale: CAP',
        'SSOSCFDICASTERO': 'Codice fiscale del dicastero di appartenenza', 'SSOSDOMNOTCAP': 'C.A.P.',
        'SSOSDOMNOTSTESTERO': 'Stato estero', 'SSOSCFRAPPR': 'Codice fiscale', 'SCARCODICE': 'Codice carica',
        'DSOSDTCARICA': 'Data carica', 'SSOSRAPFIRSTACF': 'Codice fiscale società o ente dichiarante',
        'DSOSDTFALLIMENTO': 'Data apertura fallimento', 'SSOSSESSO': 'Sesso (M/F)',
        'DSOSDTNASRAPPR': 'Data di nascita', 'SSOSCOMNASRAPPR': 'Comune (o Stato estero) di nascita',
        'SSOSPROVNASRAPPR': 'Provincia (sigla)', 'SSOSRAPFIRCODESTERO': 'Residenza estera: codice Stato',
        'SSOSRAPFIRSTACONT': 'Stato federato, provincia, contea', 'SSOSRAPFIRSTALOC': 'Località di residenza',
        'SSOSRAPFIRSTAIND': 'Indirizzo estero', 'SSOSRAPFIRSTATEL': 'Telefono o cellulare',
        'LSOSDIP': 'Dipendenti', 'LSOSAUT': 'Autonomi', 'LSOSCAP': 'Capitali', 'LSOSLOCBRV': 'Locazioni brevi',
        'LSOSALTRIT': 'Altre ritenute', 'LSOSDI': 'Quadro DI', 'LSOSSS': 'Quadro SS', 'LSOSST': 'Quadro ST',
        'LSOSSV': 'Quadro SV', 'LSOSSX': 'Quadro SX', 'LSOSSY': 'Quadro SY',
        'ISOSNDIP': 'Numero comunicazioni lavoro dipendente', 'ISOSNAUTON': 'Numero comunicazioni lavoro autonomo',
        'SSOSTIPOINV': 'Tipologia invio', 'LSOSINCGESSEP': 'Incaricato in gestione separata',
        'SPROTINVGESTSEPID': 'Protocollo: identificativo dell\'invio', 'SPROTINVGESTSEPAS': 'Protocollo: progressivo',
        'SGESCODFIS1': 'Codice fiscale altro incaricato (1)', 'LGESDIP1': 'Dipendenti (1)', 'LGESAUT1': 'Autonomi (1)',
        'LGESCAP1': 'Capitali (1)', 'LGESLOCBRV1': 'Locazioni brevi (1)', 'LGESALTRIT1': 'Altre ritenute (1)',
        'LGESCFSOS1': 'Quadri del sostituto (1)',
        'SGESCODFIS2': 'Codice fiscale altro incaricato (2)', 'LGESDIP2': 'Dipendenti (2)', 'LGESAUT2': 'Autonomi (2)',
        'LGESCAP2': 'Capitali (2)', 'LGESLOCBRV2': 'Locazioni brevi (2)', 'LGESALTRIT2': 'Altre ritenute (2)',
        'LGESCFSOS2': 'Quadri del sostituto (2)',
        'ISOSCODSITPART': 'Situazioni particolari: codice', 'SSOSDICHIARANTE': 'Firma del dichiarante',
        'LSOSAVVISO': 'Invio avviso telematico all\'intermediario',
        'SSOSCODFISINTERM': 'Codice fiscale dell\'intermediario',
        'LSOSDICHCONTRIB': 'Impegno a presentare (1 contribuente, 2 sostituto)',
        'LSOSAVVISORIC': 'Ricezione avviso telematico', 'DSOSDTIMPEGNO': 'Data dell\'impegno',
        'SSOSINTERMEDIARIO': 'Firma dell\'intermediario', 'SSOSCODFISRESPCAF': 'Codice fiscale del responsabile del CAF',
        'SSOSCODFISCAF': 'Codice fiscale del CAF', 'SSOSCODFISPROF': 'Codice fiscale del professionista',
        'SSOSCAF': 'Firma del responsabile del visto',
    })
    for i in range(1, 6):
        lab['ISOSSOGG%d' % i] = 'Controllo contabile %d: soggetto' % i
        lab['SSOSCFSOGG%d' % i] = 'Controllo contabile %d: codice fiscale' % i
        lab['SSOSFIRMASOGG%d' % i] = 'Controllo contabile %d: firma' % i
    def f(n, typ=None):
        t = TYPE_OF[n]
        return (typ or {'date': 'DTd', 'flag': 'CB'}.get(t, 'X'), n, lab[n] or n)
    page2 = [('section', 'Tipo di dichiarazione', None)] + [f(n) for n in (
        'LSOSCORRETTIVA', 'LSOSINTEGRATIVA', 'SSOSEVENTECC')] + \
        [('section', 'Dati relativi al sostituto', None)] + [f(n) for n in (
            'SSOSCODFIS', 'SSOSDENOM', 'SCOACODICE', 'SSOSTEL', 'SSOSFAX', 'SSOSEMAIL', 'SSOSINDIRIZSL',
            'SSOSCOMUNESL', 'SSOSPROVSL', 'SSOSCAPSL', 'STSACODICE', 'STSBCODICE', 'STSCCODICE',
            'SSOSCFDICASTERO')] + \
        [('section', 'Domicilio per la notificazione degli atti', None)] + [f(n) for n in (
            'SSOSDOMNOTUFFICIO', 'SSOSDOMNOTCODFIS', 'SSOSDOMNOTCOGNOME', 'SSOSDOMNOTNOME', 'SSOSDOMNOTCOMUNE',
            'SSOSDOMNOTPROVINCIA', 'SSOSDOMNOTCODCOM', 'SSOSDOMNOTCAP', 'SSOSDOMNOTTIPOLOGIA', 'SSOSDOMNOTINDIRIZZO',
            'SSOSDOMNOTNCIVICO', 'SSOSDOMNOTFRAZIONE', 'SSOSDOMNOTSTESTERO', 'SSOSDOMNOTCODESTERO',
            'SSOSDOMNOTSTFEDERATO', 'SSOSDOMNOTRESIDENZA', 'SSOSDOMNOTINDESTERO')] + \
        [('section', 'Rappresentante firmatario della dichiarazione', None)] + [f(n) for n in (
            'SSOSCFRAPPR', 'SCARCODICE', 'DSOSDTCARICA', 'SSOSRAPFIRSTACF', 'DSOSDTFALLIMENTO', 'SSOSCOGNRAPPR',
            'SSOSNOMERAPPR', 'SSOSSESSO', 'DSOSDTNASRAPPR', 'SSOSCOMNASRAPPR', 'SSOSPROVNASRAPPR',
            'SSOSRAPFIRCODESTERO', 'SSOSRAPFIRSTACONT', 'SSOSRAPFIRSTALOC', 'SSOSRAPFIRSTAIND', 'SSOSRAPFIRSTATEL')]
    front_page('Frontespizio - dati del sostituto', page2, 0)
    page3 = [('section', 'Redazione della dichiarazione', None)] + [f(n) for n in (
        'LSOSDIP', 'LSOSAUT', 'LSOSCAP', 'LSOSLOCBRV', 'LSOSALTRIT', 'SSOSTIPOINV', 'LSOSDI', 'LSOSSS', 'LSOSST',
        'LSOSSV', 'LSOSSX', 'LSOSSY', 'ISOSNDIP', 'ISOSNAUTON', 'LSOSINCGESSEP', 'SPROTINVGESTSEPID',
        'SPROTINVGESTSEPAS', 'SGESCODFIS1', 'LGESDIP1', 'LGESAUT1', 'LGESCAP1', 'LGESLOCBRV1', 'LGESALTRIT1',
        'LGESCFSOS1', 'SGESCODFIS2', 'LGESDIP2', 'LGESAUT2', 'LGESCAP2', 'LGESLOCBRV2', 'LGESALTRIT2',
        'LGESCFSOS2')] + \
        [('section', 'Firma della dichiarazione', None)] + [f(n) for n in (
            'ISOSCODSITPART', 'SSOSDICHIARANTE') + tuple(
            n % i for i in range(1, 6) for n in ('ISOSSOGG%d', 'SSOSCFSOGG%d', 'SSOSFIRMASOGG%d')) + (
            'LSOSAVVISO',)] + \
        [('section', 'Impegno alla presentazione telematica', None)] + [f(n) for n in (
            'SSOSCODFISINTERM', 'LSOSDICHCONTRIB', 'LSOSAVVISORIC', 'DSOSDTIMPEGNO', 'SSOSINTERMEDIARIO')] + \
        [('section', 'Visto di conformità', None)] + [f(n) for n in (
            'SSOSCODFISRESPCAF', 'SSOSCODFISCAF', 'SSOSCODFISPROF', 'SSOSCAF')]
    front_page('Frontespizio - redazione e firma', page3, 2)
    # Filled in only when the return is made in separate management.
    for sec in front.findall('Section'):
        for e in sec.findall('Edit'):
            if e.get('Name') in ('LSOSINCGESSEP', 'SPROTINVGESTSEPID', 'SPROTINVGESTSEPAS'):
                e.set('Page', '2')
    open(COORD + 'FrontS.xml', 'wb').write(pretty(front))

    # --- pages 4 to 21: the recipients' pages, not filled by these prints
    for n in range(4, 22):
        p = doc.page('Quadri dei percipienti - pagina %d' % n)
        header(p, 'Quadri dei percipienti (pagina %d del modello)' % n,
               'Pagina non compilata dalle stampe dei prospetti.')

    # --- DI: page 22
    conf = ET.Element('PdfConf')
    head_sections(conf)
    di = cols('TPDI_PROSPETTODI')
    row_table(doc, conf, 'QUADRO DI - Dichiarazione integrativa a favore', 'cdsDI', ['DIN'], 'DIN', 21, 130,
              di, per_line=4, first_row=0, following_from=1,
              correction=lambda r: 0 if r <= 4 else 1 if r <= 8 else 2 if r <= 13 else 3 if r <= 17 else 4)
    # DI rows are one section for every row: keep only the stepped one.
    pages = conf.findall('Page')
    dins = [pg for pg in pages if pg.get('Name') == 'DIN']
    conf.remove(dins[0])
    save_conf(conf, 'ProspDI.xml')

    # --- ST: pages 23 to 26
    conf = ET.Element('PdfConf')
    head_sections(conf)
    st = cols('TPST_PROSPETTOST')
    def split4(cells):
        n = (len(cells) + 3) // 4
        return [cells[i * n:(i + 1) * n] for i in range(4)]
    row_table(doc, conf, 'QUADRO ST - Sezione I: ritenute alla fonte e imposte sostitutive', 'cdsST',
              ['ST1', 'ST2', 'ST3', 'ST4'], 'STN', 12, 130, st, split=split4)
    head_sections(conf, 'ModNSTII', 'CodFisSTII')
    row_table(doc, conf, 'QUADRO ST - Sezione II', 'cdsST2', ['STII'], 'STNII', 12, 130,
              cols('TPST2_PROSPETTOSTS2'))
    # Sections III and IV: one non-resident intermediary per page, with its
    # eleven lines of payments.
    intermediary_page(doc, conf, 'III', 'cdsST3', 'Sezione III - Ritenute versate da intermediari non residenti',
                      ['IPST3CABIINTNRES', 'SPST3BICSWIFTCODICE', 'SPST3CFINTNRES', 'SPST3DENINTNRES',
                       'IPST3CSEINTNRES', 'LPSTEVENTIECC'], 'TPST3_PROSPETTOSTS3', range(27, 38),
                      ['SPST3MESE', 'SPST3ANNO', 'FPST3RITEFFETTUATE', 'FPST3CREDIMPSCOMP', 'FPST3IMPOVERSATO',
                       'FPST3INTERESSI', 'LPST3RAVVEDIMENTO', 'SPST3NOTCODICE', 'SPST3CODTRIBUTO', 'DPST3DTVERS'])
    intermediary_page(doc, conf, 'IV', 'cdsST4', 'Sezione IV - Imposte sostitutive versate da intermediari non residenti',
                      ['ICABIINTNRES', 'SBICSWIFTCODICE', 'SCFINTNRES', 'SDENINTNRES', 'ICSEINTNRES',
                       'LPSTEVENTIECC'], 'TPST4_PROSPETTOSTS4', range(39, 50),
                      ['SPST2MESE', 'SPST2ANNO', 'FAMMPLSVALEPROV', 'FIMPAPPL', 'FIMPUTILSCOMP', 'FCRIMPUTILSCOMP',
                       'FIMPVERS', 'FINTERS', 'LRAVVED', 'SNOTE', 'SCTRIB', 'DDTVERS'], size=6)
    save_conf(conf, 'ProspST.xml')

    # --- SV: page 27
    conf = ET.Element('PdfConf')
    head_sections(conf)
    sv = cols('TPSV_PROSPETTOSV')
    row_table(doc, conf, 'QUADRO SV - Trattenute di addizionali comunali all\'IRPEF', 'cdsSV', ['SV1', 'SV2'],
              'SVN', 12, 130, sv, split=lambda c: [c[:7], c[7:]])
    save_conf(conf, 'ProspSV.xml')

    # --- SX: pages 28 and 29
    conf = ET.Element('PdfConf')
    sx = cols('TPSX_PROSPETTOSX')
    half = (len(sx) + 1) // 2
    form_sheet(doc, conf, 'SX', 28, 'QUADRO SX - Riepilogo dei crediti e delle compensazioni', 'TPSX_PROSPETTOSX',
               sx[:half], 'cdsSX', per_col=25)
    form_sheet(doc, conf, 'SX2', 29, 'QUADRO SX - Riepilogo dei crediti (segue)', 'TPSX_PROSPETTOSX',
               sx[half:], 'cdsSX', per_col=25)
    save_conf(conf, 'ProspSX.xml')

    # --- SY: pages 30 and 31
    conf = ET.Element('PdfConf')
    head_sections(conf)
    head_sections(conf, 'ModN2', 'CodFis2')
    p = doc.page('QUADRO SY - Sezioni I, II e III')
    header(p, 'QUADRO SY - Somme liquidate a seguito di pignoramento e somme corrisposte')
    def sy_block(p, cds, title, caption, first, following, fields, rows, top, per_line=5):
        cells = grid(fields, per_line)
        lines = max(c[3] for c in cells) + 1
        step = 9 + 13 * lines
        labels = lines * 5 + 2  # the column labels above the first row
        text(p, LEFT, top - labels - 6, title, 8, True)
        text(p, 420, top - labels - 6, 'Eventi eccezionali', 5)
        box(p, 480, top - labels - 16, 30, 12)
        pg = ET.SubElement(conf, 'Page', Name=caption, Template='0')
        s = ET.SubElement(pg, 'Section', Name=cds, Repeat='')
        add_edit(s, 'LPSYEVENTIECC', 'SP', 'taLeftJustify', [rect(top - labels - 7, 484)])
        for name, t, lab, line, x, w in cells:
            text(p, x + 1, top - 2 - (lines - 1 - line) * 5, lab[:int(w / 2.2)], 4)
        for r in range(rows):
            y = top + r * step
            box(p, LEFT, y, RIGHT - LEFT, step - 3, fill='0.97')
            text(p, LEFT + 3, y + 10, str(r + 1), 7, True)
            for name, t, lab, line, x, w in cells:
                box(p, x + 1, y + line * 13 + 1, w - 2, 11)
        for nm, first_row, mn, mx, shift in ((first, 1, 1, 0, 0), (following, 0, 0, rows - 2, 1)):
            pg = ET.SubElement(conf, 'Page', Name=nm, Template='0')
            s = ET.SubElement(pg, 'Section', Name=cds, Repeat='')
            for name, t, lab, line, x, w in cells:
                typ = ftype(t)
                right = typ == 'FF'
                add_edit(s, name, typ, 'taRightJustify' if right else 'taLeftJustify',
                         [rect(top + shift * step + line * 13 + 10, int(x + w - 4 if right else x + 3),
                               vOffset=step if shift else 0, minIndex=mn, maxIndex=mx)])
        return top + rows * step + 42
    y = sy_block(p, 'cdsSY2', 'Sezione II - Somme corrisposte al creditore procedente', 'SYC2', 'SYII', 'SYNII',
                 cols('TPSY2_PROSPETTOSY2', skip=('SSOE7CODICE', 'LPSYEVENTIECC')), 5, 140, per_line=6)
    y = sy_block(p, 'cdsSY', 'Sezione I - Somme liquidate a seguito di pignoramento presso terzi', 'SYC', 'SYI',
                 'SYN', cols('TPSY_PROSPETTOSY', skip=('SSOE7CODICE', 'LPSYEVENTIECC')), 5, y)
    sy_block(p, 'cdsSY3', 'Sezione III - Somme corrisposte per bonus e crediti', 'SYC3', 'SYIII', 'SYNIII',
             cols('TPSY3_PROSPETTOSY3', skip=('SSOE7CODICE', 'LPSYEVENTIECC')), 4, y)
    p = doc.page('QUADRO SY - Sezione IV')
    header(p, 'QUADRO SY - Sezione IV: somme corrisposte a percipienti esteri')
    sy_block(p, 'cdsSY4', 'Sezione IV', 'SYC4', 'SYIV', 'SYNIV',
             cols('TPSY4_PROSPETTOSY4', skip=('SSOE7CODICE', 'LPSYEVENTIECC')), 5, 140)
    save_conf(conf, 'ProspSY.xml')

    # --- SS: page 32
    conf = ET.Element('PdfConf')
    form_sheet(doc, conf, 'SS', 32, 'QUADRO SS - Dati riassuntivi', 'TPSS_PROSPETTOSS',
               cols('TPSS_PROSPETTOSS'), 'cdsSS')
    save_conf(conf, 'ProspSS.xml')

    docs = [doc.e]

    # --- the five control reports
    conf = ET.Element('PdfConf')
    def report(file, page_name, title, landscape, head, columns, sections, top, step):
        d = Doc(file)
        p = d.page(title, landscape)
        width = (842 if landscape else 595) - 59 - (56 if landscape else 58)
        box(p, 59, 30, width, 60, fill='0.93')
        text(p, 65, 45, title, 12, True)
        hx = 59 + width - 150
        text(p, hx, 45, 'Anno fiscale', 7)
        pg = ET.SubElement(conf, 'Page', Name=page_name, Template='1')
        s = ET.SubElement(pg, 'Section', Name=head[0], Repeat='')
        add_edit(s, head[1], 'SP', 'taLeftJustify', [rect(62, 65, height=9)])
        add_edit(s, head[2], 'SP', 'taLeftJustify', [rect(73, 65)])
        add_edit(s, head[3], 'SP', 'taLeftJustify', [rect(83, 65)])
        add_edit(s, head[4], 'SP', 'taLeftJustify', [rect(45, hx + 50, height=9)])
        if len(head) > 5:
            text(p, hx, 57, 'Anno di stampa', 7)
            add_edit(s, head[5], 'SP', 'taLeftJustify', [rect(57, hx + 50, height=9)])
        # The column band ends where the rule above the first row runs
        # (12 points above the rows' base line), so no row touches it.
        box(p, 59, top - 30, width, 18, fill='0.85')
        for label, x, right in columns:
            text(p, x - (len(label) * 3.3 if right else 0), top - 18, label, 6, True)
        for sec, fields in sections:
            s = ET.SubElement(pg, 'Section', Name=sec, Repeat='')
            for name, x, right, typ in fields:
                add_edit(s, name, typ, 'taRightJustify' if right else 'taLeftJustify',
                         [rect(top, x, vOffset=step)])
        docs.append(d.e)
    amt = lambda name, x: (name, x, True, 'FF')
    report('RiepilogoINPS.pdf', 'RiepilogoINPS', 'Riepilogo contributi INPS', False,
           ('cdsAltreVoci', 'SDENOMINAZIONE', 'SINDIRIZZO', 'STELEFONOMAIL', 'SANNOFIN'),
           [('Dipendente', 62, False), ('Imponibile', 330, True), ('Contributi', 390, True),
            ('Comp. corrisp.', 445, True), ('Comp. dovuti', 495, True), ('Comp. tratt.', 535, True)],
           [('cdsDipendenti', [('SDIP7COGNOMENOME', 62, False, 'SP'), ('SDIP7CODFIS', 190, False, 'SP')]),
            ('cdsRigoINPS', [amt('fINPSImponibile', 330), amt('fINPSContribTratt', 390),
                             amt('fINPSCompCorrisp', 445), amt('fINPSCompDovuti', 495),
                             amt('fINPSCompTratten', 535)]),
            ('cdsTotali', [('sTotCaption', 62, False, 'SP'), amt('fTotImponibile', 330),
                           amt('fTotContribTratt', 390), amt('fTotCompCorrisp', 445),
                           amt('fTotCompDovuti', 495), amt('fTotCompTratten', 535)])], 190, 17)
    inh = ('cdsIntestazione', 'sDenominazione', 'sIndirizzo', 'sTelefonoMail', 'sAnnoFin', 'sAnnoCurr')
    report('RiepilogoTassazioneSeparata.pdf', 'RiepilogoTassSeparata', 'Riepilogo redditi a tassazione separata',
           False, inh,
           [('Dipendente', 62, False), ('Anno', 270, False), ('Comp. arretrati detr.', 390, True),
            ('Comp. arretrati non detr.', 465, True), ('Ritenute', 535, True)],
           [('cdsDipendenti', [('SDIP7COGNOMENOME', 62, False, 'SP')]),
            ('cdsTassSeparata', [('STAS7PERIODOIMP', 270, False, 'SP'), amt('FTAS7COMPARRDETR', 390),
                                 amt('FTAS7COMPARRNODETR', 465), amt('FTAS7RITOPERATE', 535)]),
            ('cdsSubTotali', [('sSubTotCaption', 180, False, 'SP'), amt('fSubTotComparrDetr', 390),
                              amt('fSubTotComparrNoDetr', 465), amt('fSubTotRitOperate', 535)]),
            ('CdsTotAnnuo', [('sTotAnnuoCaption', 180, False, 'SP'), ('sTotAnnuoAnno', 270, False, 'SP'),
                             amt('fTotAnnuoComparrDetr', 390), amt('fTotAnnuoComparrNoDetr', 465),
                             amt('fTotAnnuoRitOperate', 535)]),
            ('cdsTotali', [('sTotCaption', 62, False, 'SP'), amt('fTotComparrDetr', 390),
                           amt('fTotComparrNoDetr', 465), amt('fTotRitOperate', 535)])], 190, 17)
    irpef = [('FFIS7REDDDETR', 'Redditi'), ('FFIS7IMPOLORDA', 'Imposta lorda'), ('FFIS7RITIRPEF', 'Ritenute IRPEF'),
             ('FFIS7ADDREGIRPEF', 'Add. regionale'), ('FFIS7ADDCOMACC', 'Add.com. acc.'),
             ('FFIS7ADDCOMSA', 'Add.com. saldo'), ('FFIS7ADDCOMIRPEFACC', 'Acc. anno succ.')]
    tots = ['fTotReddDetr', 'fTotImpoLorda', 'FTOTRITIRPEF', 'fTotAddRegIRPEF', 'fTotAddComAcc', 'fTotAddComSa',
            'fTotADDCOMIRPEFACC']
    xs = [370 + 62 * i for i in range(7)]
    report('RiepilogoIRPEF.pdf', 'RiepilogoIRPEF', 'Riepilogo IRPEF e addizionali', True, inh,
           [('Dipendente', 62, False), ('Codice fiscale', 230, False)] + [(l, x, True) for (n, l), x in zip(irpef, xs)],
           [('cdsDipendenti', [('SDIP7COGNOMENOME', 62, False, 'SP'), ('SDIP7CODFIS', 230, False, 'SP')] +
             [amt(n, x) for (n, l), x in zip(irpef, xs)]),
            ('cdsTotali', [('sTotCaption', 62, False, 'SP')] + [amt(n, x) for n, x in zip(tots, xs)])], 170, 17)
    sfx = ['_Dma_ImpTFR', '_Dma_ImpPens', '_Dma_ImpCredito', '_Dma_ConTFR', '_Dma_ConPens', '_Dma_ConCredito']
    lbl = ['Impon. TFR', 'Impon. pens.', 'Impon. credito', 'Contr. TFR', 'Contr. pens.', 'Contr. credito']
    xs = [410 + 68 * i for i in range(6)]
    report('RiepilogoINPDAP.pdf', 'RiepilogoINPDAP', 'Riepilogo contributi INPDAP', True, inh,
           [('Dipendente', 62, False), ('Anno', 300, False)] + [(l, x, True) for l, x in zip(lbl, xs)],
           [('cdsDipendenti', [('SDIP7COGNOMENOME', 62, False, 'SP')]),
            ('cdsINPDAP', [('IINPDAP7ANNORIF', 300, False, 'SP')] + [amt('fInpdap7' + s, x) for s, x in zip(sfx, xs)]),
            ('cdsSubTotali', [('sSubTotCaption', 200, False, 'SP')] + [amt('fSubTot' + s, x) for s, x in zip(sfx, xs)]),
            ('CdsTotAnnuo', [('sTotAnnuoCaption', 200, False, 'SP'), ('iTotAnnuoAnnoRif', 300, False, 'SP')] +
             [amt('fTotAnnuo' + s, x) for s, x in zip(sfx, xs)]),
            ('cdsTotali', [('sTotCaption', 62, False, 'SP')] + [amt('fTot' + s, x) for s, x in zip(sfx, xs)])],
           163, 14)
    sfx = ['RitTitAcc', 'Imponibile', 'ContrDip', 'ContrAmm', 'AmmLordo', 'AltreSomme', 'AddrTitAcc']
    lbl = ['Ritenute acc.', 'Imponibile', 'Contr. dip.', 'Contr. amm.', 'Ammontare lordo', 'Altre somme', 'Add. reg. acc.']
    xs = [370 + 62 * i for i in range(7)]
    report('RiepilogoAutonomi.pdf', 'RiepilogoAutonomi', 'Riepilogo compensi ai lavoratori autonomi', True, inh,
           [('Percipiente', 62, False), ('Anno', 300, False)] + [(l, x, True) for l, x in zip(lbl, xs)],
           [('cdsAutonomi', [('SDAU7COGNOMENOME', 62, False, 'SP')]),
            ('cdsSommeErogate', [('SDSE7ANNO', 300, False, 'SP')] + [amt('fDse7' + s, x) for s, x in zip(sfx, xs)]),
            ('cdsTotali', [('sTotCaption', 62, False, 'SP')] + [amt('fTot' + s, x) for s, x in zip(sfx, xs)])],
           183, 14)
    # The reconciliation of certifications, summary tables and F24 payments:
    # one line per comparison or finding, a long description continued on
    # the lines below it.
    report('Quadratura.pdf', 'Quadratura', 'Quadratura CU / 770 / F24', True, inh,
           [('Controllo', 62, False), ('Riferimento', 120, False), ('Descrizione', 290, False),
            ('A', 650, True), ('B', 715, True), ('Differenza', 780, True)],
           [('cdsQuadratura', [('sControllo', 62, False, 'SP'), ('sRiferimento', 120, False, 'SP'),
                               ('sDescrizione', 290, False, 'SP'), amt('fA', 650), amt('fB', 715),
                               amt('fDifferenza', 780)]),
            ('cdsTotali', [('sTotCaption', 62, False, 'SP'), ('sEsito', 290, False, 'SP')])], 170, 14)
    save_conf(conf, 'StampeVarie.xml')

    root = ET.Element('templates')
    root.extend(docs)
    open('data/printtemplates/templates.xml', 'wb').write(pretty(root))


if __name__ == '__main__':
    main()
