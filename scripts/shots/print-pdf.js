// Prints an HTML file to PDF in headless Chromium with background graphics off, as a browser's
// print dialog does by default. Usage: node print-pdf.js IN.html OUT.pdf
// Needs puppeteer-core (NODE_PATH) and Debian's chromium.
const puppeteer = require('puppeteer-core');
const { pathToFileURL } = require('node:url');
const { resolve } = require('node:path');

(async () => {
const [input, output] = process.argv.slice(2);
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu'],
});
try {
  const page = await browser.newPage();
  await page.goto(pathToFileURL(resolve(input)).href, { waitUntil: 'load' });
  await page.pdf({ path: output, format: 'A4', printBackground: false,
                   margin: { top: '12mm', bottom: '12mm', left: '10mm', right: '10mm' } });
} finally {
  await browser.close();
}
})().catch((error) => { console.error(error); process.exit(1); });
