#!/usr/bin/env node
// Authoring helper: writes the code lists of the Italian municipalities and
// of the foreign states (cadastral "Belfiore" codes) from the npm package
// @marketto/belfiore-connector-embedded. Run it from the repository root
// and commit what it writes:
//
//   npm install --prefix /tmp/belfiore @marketto/belfiore-connector-embedded@1.2.1
//   node tools/belfiore_codelists.js /tmp/belfiore
//
// The package is never part of the repository; only the lists are.
//
// What it writes, in data/codelists/:
//   TCOM_COMUNI.tsv         municipalities in force on 1 January 2024 or later
//                           (the municipality-code columns of the return)
//   TCOC_COMUNICESSATI.tsv  municipalities that ceased before 1 January 2024
//                           (birthplaces in codici fiscali of older people)
//   TSTE_STATIESTERI.tsv    foreign states, in force and ceased (Z codes)
'use strict';

const fs = require('fs');
const path = require('path');

const PACKAGE = '@marketto/belfiore-connector-embedded';
// The first day of the income year: a municipality that ceased before it
// cannot be anyone's domicile in this return.
const CUTOFF = '2024-01-01';

function usage() {
    process.stderr.write('uso: node tools/belfiore_codelists.js CARTELLA_NPM\n');
    process.exit(2);
}

// A few names of the package are UTF-8 read as Latin-1 ("CittÃ  della
// Pieve"); one lost its second byte ("ContÃ").
function repairName(name) {
    if (!/[ÃÂ]/.test(name))
        return name;
    // "Ã" at the end has lost the second byte of its "à".
    if (/^[^ÃÂ]*Ã$/.test(name))
        return name.slice(0, -1) + 'à';
    const s = Buffer.from(name, 'latin1').toString('utf8');
    if (s.includes('\uFFFD'))
        throw new Error(`nome non riparabile: ${name}`);
    return s;
}

function day(d) { return d.toISOString().slice(0, 10); }
function italianDay(iso) { return `${iso.slice(8, 10)}/${iso.slice(5, 7)}/${iso.slice(0, 4)}`; }

function writeList(file, source, header, rows) {
    const lines = [`# Fonte: ${source}`, header.join('\t')];
    for (const r of rows)
        lines.push(r.join('\t'));
    fs.writeFileSync(file, lines.join('\n') + '\n', 'utf8');
    process.stdout.write(`${file}: ${rows.length} righe\n`);
}

async function main() {
    const prefix = process.argv[2];
    if (!prefix)
        usage();
    const pkgDir = path.join(path.resolve(prefix), 'node_modules', PACKAGE);
    const pkg = JSON.parse(fs.readFileSync(path.join(pkgDir, 'package.json'), 'utf8'));
    const connector = require(pkgDir).default;
    const places = await connector.toArray();

    const source = (what) =>
        `${what}; npm ${PACKAGE} ${pkg.version} (licenza ${pkg.license}), dati di Ministero dell'Interno (ANPR, ` +
        `CC BY 4.0), ISTAT (CC BY 3.0) e Agenzia delle Entrate (CC BY 4.0); scritta da tools/belfiore_codelists.js`;

    const current = [];
    const ceased = [];
    const states = [];
    for (const p of places) {
        const code = p.belfioreCode.toUpperCase();
        if (!/^[A-Z][0-9]{3}$/.test(code))
            throw new Error(`codice non valido: ${code}`);
        const name = repairName(p.name.trim());
        if (name.length > 60)
            throw new Error(`nome più lungo di 60 caratteri: ${name}`);
        const last = day(p.expirationDate);
        const end = last.startsWith('9999') ? '' : italianDay(last);
        if (code.startsWith('Z')) {
            states.push([code, name, end]);
        } else {
            if (!/^[A-Z]{2}$/.test(p.province || ''))
                throw new Error(`sigla di provincia mancante: ${code} ${name}`);
            (last >= CUTOFF ? current : ceased).push([code, name, p.province, end]);
        }
    }
    const byCode = (a, b) => (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0);
    current.sort(byCode);
    ceased.sort(byCode);
    states.sort(byCode);

    const dir = path.join('data', 'codelists');
    writeList(path.join(dir, 'TCOM_COMUNI.tsv'),
              source(`codici catastali dei comuni in vigore dal 1° gennaio ${CUTOFF.slice(0, 4)}, ` +
                     'CESSATO = ultimo giorno di validità'),
              ['CODICE:S:4', 'DESCRIZIONE:S:60', 'PROVINCIA:S:2', 'CESSATO:S:10'], current);
    writeList(path.join(dir, 'TCOC_COMUNICESSATI.tsv'),
              source(`codici catastali dei comuni cessati prima del 1° gennaio ${CUTOFF.slice(0, 4)}, ` +
                     'provincia dell\'epoca, CESSATO = ultimo giorno di validità'),
              ['CODICE:S:4', 'DESCRIZIONE:S:60', 'PROVINCIA:S:2', 'CESSATO:S:10'], ceased);
    writeList(path.join(dir, 'TSTE_STATIESTERI.tsv'),
              source('codici catastali (Z) degli stati esteri, in vigore e cessati, CESSATO = ultimo giorno di validità'),
              ['CODICE:S:4', 'DESCRIZIONE:S:60', 'CESSATO:S:10'], states);
}

main().catch((e) => {
    process.stderr.write(`${e.message}\n`);
    process.exit(1);
});
