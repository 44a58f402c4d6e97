// Several clients upload and read at once for a while. Every body read back
// must be exactly one that some client uploaded, never a mix or a part; a
// read after an answered upload never sees anything older; and once the
// writers stop, the store holds whole versions only, pruned as retention says.
//
// HAULWISE_SOAK_SECONDS sets how long the clients run (default 30).

import assert from "node:assert/strict";
import { createHash } from "node:crypto";
import { describe, it } from "node:test";
import { AUTH, useWorker } from "./helpers.mjs";

const SECONDS = Number(process.env.HAULWISE_SOAK_SECONDS ?? 30);
const WRITERS = 6;
const READERS = 2;
const KEEP_PER_HOSTNAME = 10;
const KEEP_IN_ALL = 50;

const digest = (bytes) => createHash("sha256").update(bytes).digest("hex");

describe("soak", () => {
  const ctx = useWorker();

  const timeout = (SECONDS + 120) * 1000;
  it(`${WRITERS} writers and ${READERS} readers for ${SECONDS} s`, { timeout }, async (t) => {
    // Every body any client has sent, by digest, with the order in which
    // clients saw things happen (one counter, as this process sees events one
    // at a time).
    const sent = new Map();
    let clock = 0;
    const tick = () => ++clock;
    const answered = [];
    const problems = [];
    const stats = { requests: 0, uploads: 0, multiPiece: 0, reads: 0, prunedBeforeFetch: 0 };
    const deadline = Date.now() + SECONDS * 1000;

    async function request(path, init = {}) {
      stats.requests++;
      const res = await fetch(ctx.url + path, { ...init, headers: { ...AUTH, ...init.headers } });
      return { status: res.status, body: Buffer.from(await res.arrayBuffer()) };
    }

    // The upload a body read back belongs to, or undefined (recorded as a
    // problem) when no client ever sent exactly these bytes.
    function recognise(body, where) {
      const record = sent.get(digest(body));
      if (record === undefined) {
        problems.push(`${where}: ${body.length} bytes that no client uploaded`);
      }
      return record;
    }

    function makeBody(writer, n) {
      const hostname = `soak-${writer}.local`;
      // Every eighth upload spans several stored pieces of 1 MiB.
      const fillerBytes =
        n % 8 === 0 ? 1_100_000 + ((n * 7919 + writer * 104_729) % 1_500_000) : 200 + ((n * 131) % 40_000);
      const tag = `${writer}:${n}.`;
      const apps = Array.from({ length: n % 5 }, (_, i) => ({ name: `App ${i}` }));
      const body = Buffer.from(
        JSON.stringify({
          schemaVersion: 1,
          generatedAt: new Date().toISOString(),
          hostname,
          writer,
          n,
          apps,
          filler: tag.repeat(Math.ceil(fillerBytes / tag.length)),
        }),
      );
      return { body, hostname, apps: apps.length };
    }

    async function writer(w) {
      for (let n = 1; Date.now() < deadline; n++) {
        const { body, hostname, apps } = makeBody(w, n);
        const record = { writer: w, n, hostname, apps, bytes: body.length, sentAt: tick() };
        sent.set(digest(body), record);
        const put = await request("/manifest", {
          method: "PUT",
          headers: { "Content-Type": "application/json" },
          body,
        });
        if (put.status !== 200) {
          problems.push(`PUT ${w}:${n} answered ${put.status}: ${put.body.toString().slice(0, 200)}`);
          continue;
        }
        record.answeredAt = tick();
        record.storedAt = JSON.parse(put.body).storedAt;
        answered.push(record);
        stats.uploads++;
        if (body.length > 1024 * 1024) stats.multiPiece++;

        // Read straight back: the newest can be this upload or one that came
        // later, never one answered before this one was even sent.
        const latest = await request("/manifest");
        stats.reads++;
        const seen = latest.status === 200 ? recognise(latest.body, `newest after ${w}:${n}`) : undefined;
        if (latest.status !== 200) {
          problems.push(`GET /manifest after ${w}:${n} answered ${latest.status}`);
        } else if (seen !== undefined && seen.answeredAt !== undefined && seen.answeredAt < record.sentAt) {
          problems.push(`after ${w}:${n} the newest was the older ${seen.writer}:${seen.n}`);
        }
        const list = await request("/manifests");
        const mine = JSON.parse(list.body).manifests.find((v) => v.hostname === hostname);
        if (mine === undefined || mine.storedAt !== record.storedAt || mine.bytes !== record.bytes) {
          problems.push(`after ${w}:${n} the listing's newest of ${hostname} was ${JSON.stringify(mine)}`);
        }
      }
    }

    async function reader(r) {
      while (Date.now() < deadline) {
        const startedAt = tick();
        const latest = await request("/manifest");
        stats.reads++;
        if (latest.status === 200) {
          recognise(latest.body, `reader ${r} newest`);
        } else if (latest.status !== 404 || answered.some((a) => a.answeredAt < startedAt)) {
          problems.push(`reader ${r}: GET /manifest answered ${latest.status}`);
        }
        const list = await request("/manifests");
        const { manifests } = JSON.parse(list.body);
        if (manifests.length === 0) continue;
        const pick = manifests[Math.floor(Math.random() * manifests.length)];
        const one = await request(`/manifests/${pick.id}`);
        stats.reads++;
        if (one.status === 404) {
          stats.prunedBeforeFetch++;
        } else if (one.status !== 200) {
          problems.push(`reader ${r}: GET /manifests/${pick.id} answered ${one.status}`);
        } else {
          const record = recognise(one.body, `reader ${r} version ${pick.id}`);
          if (record !== undefined && (record.hostname !== pick.hostname || record.bytes !== pick.bytes)) {
            problems.push(
              `reader ${r}: version ${pick.id} listed as ${JSON.stringify(pick)} holds ${record.writer}:${record.n}`,
            );
          }
        }
      }
    }

    const started = Date.now();
    await Promise.all([
      ...Array.from({ length: WRITERS }, (_, w) => writer(w)),
      ...Array.from({ length: READERS }, (_, r) => reader(r)),
    ]);
    const elapsed = (Date.now() - started) / 1000;

    // Everything has stopped. The newest version is the last answered upload
    // or one that overlapped it; the rest are whole uploads, pruned as
    // retention says.
    const versions = JSON.parse((await request("/manifests")).body).manifests;
    const kept = [];
    for (const version of versions) {
      const one = await request(`/manifests/${version.id}`);
      assert.equal(one.status, 200, `listed version ${version.id}`);
      const record = recognise(one.body, `kept version ${version.id}`);
      assert.ok(record, "every kept version is one whole upload");
      assert.deepEqual(
        { hostname: version.hostname, apps: version.apps, bytes: version.bytes, storedAt: version.storedAt },
        { hostname: record.hostname, apps: record.apps, bytes: record.bytes, storedAt: record.storedAt },
      );
      kept.push(record);
    }
    const last = answered.reduce((a, b) => (b.answeredAt > a.answeredAt ? b : a));
    assert.ok(!(kept[0].answeredAt < last.sentAt), "the newest version is older than the last answered upload");
    const newest = await request("/manifest");
    assert.equal(recognise(newest.body, "final newest"), kept[0], "GET /manifest is the newest listed version");

    let expectedTotal = 0;
    for (let w = 0; w < WRITERS; w++) {
      const ours = answered.filter((a) => a.writer === w).map((a) => a.n);
      const listed = kept.filter((k) => k.writer === w).map((k) => k.n);
      assert.ok(listed.length <= KEEP_PER_HOSTNAME, `writer ${w} has ${listed.length} versions`);
      const newestOfOurs = ours.slice(ours.length - listed.length).reverse();
      assert.deepEqual(listed, newestOfOurs, `writer ${w} keeps its newest uploads, newest first`);
      expectedTotal += Math.min(KEEP_PER_HOSTNAME, ours.length);
    }
    assert.equal(kept.length, Math.min(KEEP_IN_ALL, expectedTotal));

    t.diagnostic(
      `soak: ${elapsed.toFixed(1)} s, ${WRITERS + READERS} concurrent clients ` +
        `(${WRITERS} writing, ${READERS} reading), ${stats.requests} requests ` +
        `(${(stats.requests / elapsed).toFixed(0)}/s), ${stats.uploads} uploads (${stats.multiPiece} over 1 MiB), ` +
        `${stats.reads} reads, ${stats.prunedBeforeFetch} listed versions pruned before their fetch, ` +
        `${problems.length} failures`,
    );
    assert.deepEqual(problems, []);
    assert.ok(stats.uploads >= WRITERS, "every writer got at least one upload through");
  });
});
