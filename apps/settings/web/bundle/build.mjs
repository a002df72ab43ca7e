// Bundles the page into page/dist/: page.js, the page's own modules (page/app.js and what it
// imports), ionic.js, the first screen's widgets (bundle/ionic.mjs), ionic-more.js, the others
// (bundle/ionic-more.mjs), and ionic.css, Ionic's styles with its dark palette
// (bundle/ionic.css). The first screen waits for page.js and ionic.js, two requests made at
// once, not a chain of modules. ionic-more.js holds no copy of the Ionic modules that ionic.js
// holds: it imports what it uses of them from ionic.js, which re-exports just that under names
// of its own.
// So both run on one Ionic runtime (one configuration, one registry of overlays and gestures).
//
// Each bundle is written under a name that holds a hash of its content (ionic.<hash>.js), which
// a browser may keep for good. The scripts keep their plain names too: ionic.js and ionic-more.js
// re-export the hashed modules, so index.html and page/app.js import them by the plain names,
// share one module. manifest.json maps the plain addresses that index.html names to the hashed
// ones, and the host puts those into index.html as it serves it: the page's bundle for
// page/app.js, and Ionic's script and styles. page.js imports Ionic's bundles by their hashed
// names. Without the manifest the page runs from its own modules as they are. Run by `npm ci`
// (the package's postinstall), by the build when a file of page/ or bundle/ changed, and by
// scripts/setup.sh when one is newer than the manifest.
import { build } from 'esbuild';
import { createHash } from 'node:crypto';
import { mkdirSync, rmSync, writeFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const web = fileURLToPath(new URL('..', import.meta.url));
const dist = path.join(web, 'page/dist');
const firstUrl = '/page/dist/ionic.js';
const moreUrl = '/page/dist/ionic-more.js';
const options = { absWorkingDir: web, bundle: true, format: 'esm', minify: true, target: 'chrome110', legalComments: 'eof',
  logLevel: 'warning', write: false, outdir: dist };

// The Ionic modules of the first screen, each with the names it exports and a prefix for them.
const first = await build({ ...options, entryPoints: ['bundle/ionic.mjs'], metafile: true });
const held = new Map();
for (const file of Object.keys(first.metafile.inputs).filter((input) => input.startsWith('node_modules/'))) {
  const alone = await build({ absWorkingDir: web, entryPoints: [file], format: 'esm', write: false, metafile: true, outdir: dist, logLevel: 'warning' });
  held.set(path.join(web, file), { prefix: `ionic${held.size}_`, names: Object.values(alone.metafile.outputs)[0].exports });
}

// The other widgets: a module that ionic.js holds resolves to ionic.js's names for its exports.
const fromFirst = {
  name: 'from-first',
  setup(bundler) {
    bundler.onResolve({ filter: /.*/ }, async (args) => {
      if (args.kind === 'entry-point' || args.pluginData === 'resolving') return undefined;
      const resolved = await bundler.resolve(args.path, { kind: args.kind, importer: args.importer, resolveDir: args.resolveDir, pluginData: 'resolving' });
      return held.has(resolved.path) ? { path: resolved.path, namespace: 'from-first' } : undefined;
    });
    bundler.onLoad({ filter: /.*/, namespace: 'from-first' }, (args) => {
      const { prefix, names } = held.get(args.path);
      return { contents: `export { ${names.map((name) => `${prefix}${name} as ${name}`).join(', ')} } from ${JSON.stringify(firstUrl)};` };
    });
  },
};
const more = await build({ ...options, entryPoints: ['bundle/ionic-more.mjs'], external: [firstUrl], plugins: [fromFirst] });
const moreCode = more.outputFiles[0].text;

// The names ionic-more.js imports from ionic.js, as esbuild writes its imports: import{a as b,...}from"url".
const used = new Set();
for (const [, list] of moreCode.matchAll(new RegExp(`import\\{([^}]*)\\}from${JSON.stringify(firstUrl)}`, 'g')))
  for (const item of list.split(',')) used.add(item.trim().split(/\s+as\s+/)[0]);
const reexports = [...held].map(([file, { prefix, names }]) => {
  const wanted = names.filter((name) => used.has(prefix + name));
  return wanted.length ? `export { ${wanted.map((name) => `${name} as ${prefix}${name}`).join(', ')} } from ${JSON.stringify(file)};` : '';
});
const firstWithExports = await build({ ...options, stdin: {
  resolveDir: web, sourcefile: 'bundle/ionic.mjs, re-exporting what ionic-more.mjs uses',
  contents: ["import './bundle/ionic.mjs';", ...reexports].join('\n'),
} });

const styles = await build({ ...options, entryPoints: ['bundle/ionic.css'] });
const page = await build({ ...options, entryPoints: ['page/app.js'], external: [firstUrl, moreUrl] });

// Each output under its hashed name; ionic-more.js imports ionic.js by its hashed name too.
const hashed = (name, contents) => {
  const hash = createHash('sha256').update(contents).digest('hex').slice(0, 12);
  return name.replace(/\.(\w+)$/, `.${hash}.$1`);
};
const outputs = {};
const firstCode = firstWithExports.outputFiles[0].text;
outputs['ionic.js'] = { name: hashed('ionic.js', firstCode), contents: firstCode };
const moreLinked = moreCode.replaceAll(JSON.stringify(firstUrl), JSON.stringify(`/page/dist/${outputs['ionic.js'].name}`));
outputs['ionic-more.js'] = { name: hashed('ionic-more.js', moreLinked), contents: moreLinked };
const css = styles.outputFiles[0].text;
outputs['ionic.css'] = { name: hashed('ionic.css', css), contents: css };
const pageLinked = page.outputFiles[0].text
  .replaceAll(JSON.stringify(firstUrl), JSON.stringify(`/page/dist/${outputs['ionic.js'].name}`))
  .replaceAll(JSON.stringify(moreUrl), JSON.stringify(`/page/dist/${outputs['ionic-more.js'].name}`));
outputs['page.js'] = { name: hashed('page.js', pageLinked), contents: pageLinked };

rmSync(dist, { recursive: true, force: true });
mkdirSync(dist, { recursive: true });
for (const { name, contents } of Object.values(outputs))
  writeFileSync(path.join(dist, name), contents);
for (const plain of ['ionic.js', 'ionic-more.js'])
  writeFileSync(path.join(dist, plain), `export * from ${JSON.stringify(`/page/dist/${outputs[plain].name}`)};\n`);
const manifest = {
  '/page/app.js': `/page/dist/${outputs['page.js'].name}`,
  '/page/dist/ionic.js': `/page/dist/${outputs['ionic.js'].name}`,
  '/page/dist/ionic.css': `/page/dist/${outputs['ionic.css'].name}`,
};
writeFileSync(path.join(dist, 'manifest.json'), `${JSON.stringify(manifest, null, 2)}\n`);
