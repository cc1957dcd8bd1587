// Fill + write of a .docx template with docxtemplater (markers "[<name>]"), timed in the same way as
// bench_package_template: read the template, fill, write the new file. Prints the median in milliseconds.
//   node docxtemplater-fill.js template.docx values.json [rounds=30]
const fs = require("fs");
const PizZip = require("pizzip");
const Docxtemplater = require("docxtemplater");

const [templatePath, valuesPath, roundsText] = process.argv.slice(2);
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
const times = [];
for (let i = 0; i < rounds; i++) {
  const start = process.hrtime.bigint();
  fillOnce();
  times.push(Number(process.hrtime.bigint() - start) / 1e6);
}
times.sort((a, b) => a - b);
console.log(times[Math.floor(times.length / 2)].toFixed(2));
