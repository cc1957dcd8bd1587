// Fill + write of a .docx template with docxtemplater (markers "[<name>]"), timed in the same way as
// bench_package_template: read the template, fill, write the new file. Prints the median in milliseconds; with
// --total, the milliseconds of `rounds` fills one after the other (as a batch of that many contracts takes).
//   node docxtemplater-fill.js template.docx values.json [rounds=30] [--total]
const fs = require("fs");
const PizZip = require("pizzip");
const Docxtemplater = require("docxtemplater");

const [templatePath, valuesPath, roundsText, mode] = process.argv.slice(2);
const values = JSON.parse(fs.readFileSync(valuesPath, "utf8"));
const rounds = Number(roundsText || 30);
const target = templatePath.replace(/\.docx$/, "-docxtemplater.docx");

function fillOnce() {
  const zip = new PizZip(fs.readFileSync(templatePath));
  const doc = new Docxtemplater(zip, { delimiters: { start: "[<", end: ">]" }, paragraphLoop: true, linebreaks: true });
  doc.render(values);
  fs.writeFileSync(target, doc.getZip().generate({ type: "nodebuffer", compression: "DEFLATE" }));
}

for (let i = 0; i < 5; i++) fillOnce(); // warm up the JIT
if (mode === "--total") {
  const start = process.hrtime.bigint();
  for (let i = 0; i < rounds; i++) fillOnce();
  console.log((Number(process.hrtime.bigint() - start) / 1e6).toFixed(0));
  process.exit(0);
}
const times = [];
for (let i = 0; i < rounds; i++) {
  const start = process.hrtime.bigint();
  fillOnce();
  times.push(Number(process.hrtime.bigint() - start) / 1e6);
}
times.sort((a, b) => a - b);
console.log(times[Math.floor(times.length / 2)].toFixed(2));
