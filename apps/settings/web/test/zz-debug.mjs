import { Phone } from './phone.mjs';
const { phone, page } = await Phone.withPage();
page.on('response', (r) => { if (r.status() >= 400) console.log('bad:', r.url()); });
try {
  const modal = page.locator('#modal');
  await page.getByRole('button', { name: 'Add', exact: true }).click();
  await modal.getByRole('textbox', { name: 'Title' }).fill('Focus');
  await modal.getByRole('textbox', { name: 'Title' }).press('Enter');
  await page.waitForTimeout(500);
  console.log(await page.evaluate(() => [...document.querySelectorAll('*')].filter((n) => n.childNodes.length && [...n.childNodes].some((c) => c.nodeType === 3 && c.textContent.trim() === 'Focus')).map((n) => n.tagName + '#' + (n.closest('[id]')?.id))));
  await modal.getByRole('button', { name: 'Save' }).click();
  await modal.waitFor({ state: 'hidden' });
  console.log(await page.evaluate(() => [...document.querySelectorAll('*')].filter((n) => n.childNodes.length && [...n.childNodes].some((c) => c.nodeType === 3 && c.textContent.trim() === 'Focus')).map((n) => n.tagName + '#' + (n.closest('[id]')?.id))));
  await page.screenshot({ path: '/tmp/dbg/a.png' });
  console.log(phone.pageErrors);
} finally { await phone.shutdown(); }
