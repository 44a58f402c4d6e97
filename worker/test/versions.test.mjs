// The kept versions: listing, fetching by id, retention, large bodies, the
// take-over of a manifest left in KV, and routes under a base path.

import assert from "node:assert/strict";
import { mkdtempSync, rmSync } from "node:fs";
import os from "node:os";
import path from "node:path";
import { describe, it } from "node:test";
import { startLocalWorker } from "../scripts/local-worker.mjs";
import { AUTH, TOKEN, download, listing, storedVersions, upload, useWorker } from "./helpers.mjs";

const ISO_UTC = /^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z$/;
const CHUNK = 1024 * 1024;

function manifest(hostname, n, apps = n % 4) {
  return JSON.stringify({
    schemaVersion: 1,
    generatedAt: "2026-01-31T12:00:00Z",
    hostname,
    n,
    apps: Array.from({ length: apps }, (_, i) => ({ name: `App ${i}` })),
  });
}

// Which upload (its "n") each listed version is, newest first.
async function uploadNumbers(url, versions) {
  return Promise.all(
    versions.map(async ({ id }) => JSON.parse((await download(url, `/manifests/${id}`)).body).n),
  );
}

describe("versions of two Macs", () => {
  const ctx = useWorker();

  it("lists both, newest first, and serves each by id byte for byte", async () => {
    const old = Buffer.from(
      '{"schemaVersion":1,"generatedAt":"","hostname":"old-mac.local","apps":[{"n":"A"},{"n":"B"},{"n":"C"}],"x":"\u00e9"}',
    );
    const fresh = Buffer.from('{"schemaVersion":1,"generatedAt":"","hostname":"new-mac.local","apps":[]}');
    const oldAt = await upload(ctx.url, old);
    const freshAt = await upload(ctx.url, fresh);

    const versions = await listing(ctx.url);
    assert.deepEqual(
      versions.map(({ id, ...rest }) => rest),
      [
        { storedAt: freshAt, hostname: "new-mac.local", apps: 0, bytes: fresh.length },
        { storedAt: oldAt, hostname: "old-mac.local", apps: 3, bytes: old.length },
      ],
    );
    for (const { id } of versions) {
      assert.match(id, /^[A-Za-z0-9_-]+$/, "an id must be usable as a path segment as it is");
    }
    assert.notEqual(versions[0].id, versions[1].id);
    assert.deepEqual(await download(ctx.url, `/manifests/${versions[1].id}`), { status: 200, body: old });
    assert.deepEqual(await download(ctx.url, `/manifests/${versions[0].id}`), { status: 200, body: fresh });
    assert.deepEqual(await download(ctx.url, "/manifest"), { status: 200, body: fresh });
  });

  it("lists a long hostname cut to 255 characters", async () => {
    const long = "\u00e9".repeat(300);
    await upload(ctx.url, manifest(long, 1));
    const [newest] = await listing(ctx.url);
    assert.equal(newest.hostname, long.slice(0, 255));
  });

  it("reads each upload back as soon as it is answered", async () => {
    for (let n = 0; n < 20; n++) {
      const body = Buffer.from(manifest(`mac-${n % 3}`, n));
      const storedAt = await upload(ctx.url, body);
      assert.deepEqual(await download(ctx.url, "/manifest"), { status: 200, body });
      const [newest] = await listing(ctx.url);
      assert.equal(newest.storedAt, storedAt);
      assert.deepEqual(await download(ctx.url, `/manifests/${newest.id}`), { status: 200, body });
    }
  });

  it("answers 404 for an id it does not hold", async () => {
    const [{ id: held }] = await listing(ctx.url);
    for (const id of ["00000000-0000-0000-0000-000000000000", "nope", "", "manifest", held.toUpperCase()]) {
      const { status, body } = await download(ctx.url, `/manifests/${id}`);
      assert.equal(status, 404, id);
      assert.match(body.toString(), /No stored manifest has that id/);
    }
  });
});

describe("retention", () => {
  const ctx = useWorker();

  it("keeps the newest 10 of each hostname and 50 in all", async () => {
    for (let n = 0; n < 12; n++) {
      await upload(ctx.url, manifest("busy", n));
    }
    await upload(ctx.url, manifest("quiet", 100));
    let versions = await listing(ctx.url);
    assert.deepEqual(
      await uploadNumbers(ctx.url, versions),
      [100, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2],
      "one Mac's eleventh upload drops only its own oldest",
    );
    assert.equal((await storedVersions(ctx.mf)).length, 11);

    // Five more Macs with ten each make 61 candidates: the 11 oldest go.
    for (let mac = 0; mac < 5; mac++) {
      for (let n = 0; n < 10; n++) {
        await upload(ctx.url, manifest(`mac-${mac}`, 1000 + mac * 10 + n));
      }
    }
    versions = await listing(ctx.url);
    assert.equal(versions.length, 50);
    const expected = [];
    for (let n = 1049; n >= 1000; n--) expected.push(n);
    assert.deepEqual(await uploadNumbers(ctx.url, versions), expected);
    const counts = {};
    for (const { hostname } of versions) counts[hostname] = (counts[hostname] ?? 0) + 1;
    assert.deepEqual(counts, { "mac-4": 10, "mac-3": 10, "mac-2": 10, "mac-1": 10, "mac-0": 10 });
  });
});

describe("bodies spanning several stored pieces", () => {
  const ctx = useWorker();

  // A JSON string of exactly `size` bytes cycling through the 26 letters: a
  // piece is not a multiple of 26 bytes long, so one that went missing, was
  // doubled or moved shows up as a change of letters.
  function jsonOfSize(size) {
    const head = Buffer.from(manifest("pieces", 0).slice(0, -1) + ',"x":"');
    const inner = Buffer.alloc(size - head.length - 2);
    for (let i = 0; i < inner.length; i++) inner[i] = 0x61 + (i % 26);
    return Buffer.concat([head, inner, Buffer.from('"}')]);
  }

  for (const size of [CHUNK - 1, CHUNK, CHUNK + 1, 2 * CHUNK, 3 * CHUNK + 12345]) {
    it(`round-trips ${size} bytes through /manifest and /manifests/<id>`, async () => {
      const body = jsonOfSize(size);
      await upload(ctx.url, body);
      const [newest] = await listing(ctx.url);
      assert.equal(newest.bytes, size);
      const byId = await download(ctx.url, `/manifests/${newest.id}`);
      assert.equal(byId.status, 200);
      assert.ok(byId.body.equals(body), "the body fetched by id differs");
      const latest = await download(ctx.url, "/manifest");
      assert.ok(latest.body.equals(body), "the newest body differs");
    });
  }
});

describe("a manifest left in KV by an earlier release", () => {
  it("becomes the first version once, and stays gone once pruned", async () => {
    const dir = mkdtempSync(path.join(os.tmpdir(), "haulwise-kv-import-"));
    const old = Buffer.from('{\n  "hostname": "old-mac.local",\n  "apps": [{"name": "Caf\u00e9"}]\n}\n');
    try {
      let { mf, url } = await startLocalWorker({ quiet: true, token: TOKEN, persistDir: dir });
      try {
        const kv = await mf.getKVNamespace("MANIFESTS");
        await kv.put("manifest", old.toString("utf8"), { metadata: { storedAt: "2025-11-02T08:30:00.000Z" } });

        const versions = await listing(url);
        assert.deepEqual(
          versions.map(({ id, ...rest }) => rest),
          [{ storedAt: "2025-11-02T08:30:00.000Z", hostname: "old-mac.local", apps: 1, bytes: old.length }],
        );
        assert.deepEqual(await download(url, "/manifest"), { status: 200, body: old });

        for (let n = 0; n < 10; n++) {
          await upload(url, manifest("old-mac.local", n));
        }
        assert.equal((await download(url, `/manifests/${versions[0].id}`)).status, 404);
      } finally {
        await mf.dispose();
      }

      // A fresh start on the same data must not bring it back.
      ({ mf, url } = await startLocalWorker({ quiet: true, token: TOKEN, persistDir: dir }));
      try {
        assert.deepEqual(await uploadNumbers(url, await listing(url)), [9, 8, 7, 6, 5, 4, 3, 2, 1, 0]);
      } finally {
        await mf.dispose();
      }
    } finally {
      rmSync(dir, { recursive: true, force: true });
    }
  });

  it("is not needed: without the KV binding the Worker starts empty and works", async () => {
    const { mf, url } = await startLocalWorker({ quiet: true, token: TOKEN, legacyKv: false });
    try {
      assert.equal((await download(url, "/manifest")).status, 404);
      assert.deepEqual(await listing(url), []);
      await upload(url, manifest("h", 1));
      assert.equal((await listing(url)).length, 1);
    } finally {
      await mf.dispose();
    }
  });
});

describe("routes", () => {
  const ctx = useWorker();

  it("answer under any base path", async () => {
    const body = Buffer.from(manifest("prefixed", 7));
    await upload(ctx.url, body, "/haulwise/manifest");
    for (const base of ["", "/haulwise", "/a/b/c"]) {
      assert.deepEqual(await download(ctx.url, `${base}/manifest`), { status: 200, body }, base);
      const [newest] = await listing(ctx.url, `${base}/manifests`);
      assert.equal(newest.hostname, "prefixed", base);
      assert.deepEqual(await download(ctx.url, `${base}/manifests/${newest.id}`), { status: 200, body }, base);
    }
  });

  it("answer 404 to paths that only look alike", async () => {
    const [{ id }] = await listing(ctx.url);
    const lookalikes = ["/xmanifests", "/manifests/", `/manifests/${id}/`, `/manifests/${id}/x`, "/manifests/a%20b"];
    for (const p of lookalikes) {
      assert.equal((await download(ctx.url, p)).status, 404, p);
    }
  });

  it("allow only GET on the listing and on a version", async () => {
    const [{ id }] = await listing(ctx.url);
    for (const p of ["/manifests", `/manifests/${id}`, "/haulwise/manifests"]) {
      for (const method of ["PUT", "POST", "DELETE", "HEAD"]) {
        const body = method === "PUT" || method === "POST" ? "{}" : undefined;
        const res = await fetch(ctx.url + p, { method, headers: AUTH, body });
        assert.equal(res.status, 405, `${method} ${p}`);
        assert.equal(res.headers.get("Allow"), "GET", `${method} ${p}`);
        await res.body?.cancel();
      }
    }
    assert.equal((await storedVersions(ctx.mf)).length, 1);
  });

  it("all refuse a request without the token", async () => {
    const [{ id }] = await listing(ctx.url);
    const paths = ["/manifest", "/manifests", `/manifests/${id}`];
    for (const p of [...paths, ...paths.map((q) => "/haulwise" + q)]) {
      for (const headers of [{}, { Authorization: "Bearer wrong" }]) {
        for (const method of ["GET", "PUT"]) {
          const body = method === "PUT" ? '{"x":1}' : undefined;
          const res = await fetch(ctx.url + p, { method, headers, body });
          assert.equal(res.status, 401, `${method} ${p}`);
          assert.equal((await res.text()).trim(), "Unauthorized");
        }
      }
    }
    assert.equal((await storedVersions(ctx.mf)).length, 1);
  });
});
