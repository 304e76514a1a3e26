// Runs regular-expression cases through V8's ECMAScript engine for the differential test.
//
// Input (the file named on the command line): one case per line, four fields separated by tabs:
// flags ("i", "m" and "g" in any combination, or "-"), pattern and subject as UTF-16 code units in
// hexadecimal, four digits each. Output: one line per case, "E" when the pattern is rejected, else
// the matches separated by "|", each as the start and end offsets (UTF-16 units) of group 0, 1, ...
// separated by ",", -1 for a group that took no part. No matches: an empty line.
'use strict';
const fs = require('fs');

function decode(hex) {
  let text = '';
  for (let i = 0; i < hex.length; i += 4) text += String.fromCharCode(parseInt(hex.substr(i, 4), 16));
  return text;
}

function run(flags, pattern, subject) {
  const global = flags.includes('g');
  // "d" only asks for the offsets of every group; a fresh "g" object is stepped by hand below.
  let re;
  try {
    re = new RegExp(pattern, flags.replace(/[-g]/g, '') + 'dg');
  } catch (e) {
    return 'E';
  }
  const matches = [];
  for (;;) {
    const m = re.exec(subject);
    if (m === null) break;
    const spans = [];
    for (const pair of m.indices) spans.push(pair === undefined ? '-1,-1' : pair[0] + ',' + pair[1]);
    matches.push(spans.join(','));
    if (!global) break;
    // As String.prototype.match with "g": after an empty match the next attempt starts one unit on.
    if (m.indices[0][0] === m.indices[0][1]) re.lastIndex = m.indices[0][1] + 1;
    if (re.lastIndex > subject.length) break;
  }
  return matches.join('|');
}

const lines = fs.readFileSync(process.argv[2], 'latin1').split('\n');
const out = [];
for (const line of lines) {
  if (line === '') continue;
  const [flags, pattern, subject] = line.split('\t');
  out.push(run(flags, decode(pattern), decode(subject)));
}
process.stdout.write(out.join('\n') + '\n');
