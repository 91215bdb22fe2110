// The peer's half of the comparison (bench/qfs_peer_bench.sh runs both): the
// npm package qfs-compression on the corpus that qfs_peer_bench wrote, timed
// like the codec: warm-up passes first, then timed passes, the median printed.
// Before timing it checks that the peer writes the very streams this codec
// wrote and expands them back to the models, so both work on the same bytes.
//
// Usage: node qfs_peer_bench.js <folder holding node_modules> <corpus folder>
'use strict';
const fs = require('fs');
const path = require('path');

const [moduleRoot, corpus] = process.argv.slice(2);
const qfs = require(path.join(moduleRoot, 'node_modules', 'qfs-compression'));
const WARM_PASSES = 5;
const TIMED_PASSES = 15;

const names = fs.readdirSync(corpus).filter(f => f.endsWith('.s3d')).sort();
const models = names.map(f => fs.readFileSync(path.join(corpus, f)));
const streams = names.map(f => fs.readFileSync(path.join(corpus, f.replace(/\.s3d$/, '.qfs'))));
const modelBytes = models.reduce((sum, m) => sum + m.length, 0);

let same = 0;
for (let k = 0; k < models.length; k++) {
	if (Buffer.compare(qfs.compress(models[k]), streams[k]) === 0) same++;
	if (Buffer.compare(qfs.decompress(streams[k]), models[k]) !== 0) {
		console.error(`the peer does not expand ${names[k]} to its model`);
		process.exit(1);
	}
}

function median(pass) {
	for (let k = 0; k < WARM_PASSES; k++) pass();
	const times = [];
	for (let k = 0; k < TIMED_PASSES; k++) {
		const t0 = process.hrtime.bigint();
		pass();
		times.push(Number(process.hrtime.bigint() - t0) / 1e9);
	}
	times.sort((a, b) => a - b);
	return times[Math.floor(times.length / 2)];
}

let sink = 0;
const encode = median(() => { for (const m of models) sink += qfs.compress(m).length; });
const decode = median(() => { for (const s of streams) sink += qfs.decompress(s).length; });
console.log(`peer entries=${models.length} model_bytes=${modelBytes} identical_streams=${same} ` +
	`encode_MBps=${(modelBytes / encode / 1e6).toFixed(2)} decode_MBps=${(modelBytes / decode / 1e6).toFixed(2)} check=${sink % 10}`);
