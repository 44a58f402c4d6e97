// Exercises src/index.js inside Miniflare over real HTTP, the way the desktop
// client talks to it.

import assert from "node:assert/strict";
import net from "node:net";
import { after, before, describe, it } from "node:test";
import { startLocalWorker } from "../scripts/local-worker.mjs";
import { storedVersions } from "./helpers.mjs";

const TOKEN = "S3cret-Token_4f9c2a";
const AUTH = { Authorization: `Bearer ${TOKEN}` };
const LIMIT = 8 * 1024 * 1024;
const ISO_UTC = /^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z$/;

// A fresh Worker per describe block keeps stored state from leaking between
// groups of tests.
function useWorker(options) {
  const ctx = {};
  before(async () => {
    const { mf, url } = await startLocalWorker({ quiet: true, ...options });
    ctx.mf = mf;
    ctx.url = url;
  });
  after(async () => {
    await ctx.mf?.dispose();
  });
  return ctx;
}

function manifestUrl(ctx, path = "/manifest") {
  return ctx.url + path;
}

async function put(ctx, body, headers = {}) {
  return fetch(manifestUrl(ctx), {
    method: "PUT",
    headers: { ...AUTH, "Content-Type": "application/json", ...headers },
    body,
  });
}

async function get(ctx, headers = AUTH) {
  return fetch(manifestUrl(ctx), { headers });
}

async function bytesOf(response) {
  return Buffer.from(await response.arrayBuffer());
}

// A body without Content-Length (chunked), so only the Worker's own byte
// count can notice how big it is.
function chunkedBody(bytes, chunkSize = 7) {
  let offset = 0;
  return new ReadableStream({
    pull(controller) {
      if (offset >= bytes.length) {
        controller.close();
        return;
      }
      controller.enqueue(bytes.subarray(offset, offset + chunkSize));
      offset += chunkSize;
    },
  });
}

const MANIFEST_HEAD = '{"schemaVersion":1,"hostname":"h","generatedAt":"2026-01-31T12:00:00Z","apps":[],"x":"';

// Exactly `size` bytes of manifest, padded with a string of filler.
function jsonOfSize(size) {
  return Buffer.from(MANIFEST_HEAD + "a".repeat(size - MANIFEST_HEAD.length - 2) + '"}');
}

function manifestWith(members) {
  const base = { schemaVersion: 1, hostname: "h", generatedAt: "2026-01-31T12:00:00Z", apps: [] };
  return Buffer.from(JSON.stringify({ ...base, ...members }));
}

// Raw HTTP so the request can announce a body it never sends.
function rawRequest(baseUrl, headText) {
  const { hostname, port } = new URL(baseUrl);
  return new Promise((resolve, reject) => {
    const socket = net.connect({ host: hostname, port: Number(port) });
    let data = "";
    const timer = setTimeout(() => {
      socket.destroy();
      reject(new Error(`no complete response; got: ${JSON.stringify(data)}`));
    }, 5000);
    socket.setEncoding("latin1");
    socket.on("data", (chunk) => {
      data += chunk;
      const end = data.indexOf("\r\n\r\n");
      if (end === -1) return;
      const length = /\r\ncontent-length:\s*(\d+)/i.exec(data.slice(0, end));
      if (length && data.length >= end + 4 + Number(length[1])) {
        clearTimeout(timer);
        socket.destroy();
        resolve(data);
      }
    });
    socket.on("error", (err) => {
      clearTimeout(timer);
      reject(err);
    });
    socket.write(headText);
  });
}

describe("authorization", () => {
  const ctx = useWorker({ token: TOKEN });
  const rejected = {
    "no Authorization header": undefined,
    "wrong token": "Bearer not-the-token",
    "token in a different case": `Bearer ${TOKEN.toLowerCase()}`,
    "two spaces after Bearer": `Bearer  ${TOKEN}`,
    "prefix of the token": `Bearer ${TOKEN.slice(0, -1)}`,
    "token with extra characters": `Bearer ${TOKEN}x`,
    "lower-case scheme": `bearer ${TOKEN}`,
    "token without scheme": TOKEN,
    "Basic scheme": `Basic ${Buffer.from(`user:${TOKEN}`).toString("base64")}`,
    "scheme only": "Bearer",
  };

  for (const [name, header] of Object.entries(rejected)) {
    it(`rejects ${name} on GET and PUT with 401`, async () => {
      const headers = header === undefined ? {} : { Authorization: header };
      const getRes = await fetch(manifestUrl(ctx), { headers });
      assert.equal(getRes.status, 401);
      assert.equal((await getRes.text()).trim(), "Unauthorized");
      assert.match(getRes.headers.get("WWW-Authenticate") ?? "", /^Bearer\b/);

      const putRes = await fetch(manifestUrl(ctx), {
        method: "PUT",
        headers: { ...headers, "Content-Type": "application/json" },
        body: '{"intruder":true}',
      });
      assert.equal(putRes.status, 401);
      await putRes.body?.cancel();
      assert.deepEqual(await storedVersions(ctx.mf), [], "a rejected PUT must not store anything");
    });
  }

  it("answers 401, not 404 or 405, to unauthorized requests elsewhere", async () => {
    for (const [path, method] of [
      ["/", "GET"],
      ["/admin", "GET"],
      ["/manifest", "DELETE"],
      ["/manifest/", "POST"],
    ]) {
      const res = await fetch(manifestUrl(ctx, path), { method, headers: { Authorization: "Bearer x" } });
      assert.equal(res.status, 401, `${method} ${path}`);
      assert.equal((await res.text()).trim(), "Unauthorized");
    }
  });

  it("accepts the exact token", async () => {
    const res = await get(ctx);
    assert.equal(res.status, 404);
    await res.body?.cancel();
  });
});

for (const [name, options] of [
  ["unset", {}],
  ["empty", { token: "" }],
]) {
  describe(`HAULWISE_TOKEN ${name}`, () => {
    const ctx = useWorker(options);
    const attempts = {
      "no header": {},
      '"Bearer "': { Authorization: "Bearer " },
      '"Bearer"': { Authorization: "Bearer" },
      '"Bearer undefined"': { Authorization: "Bearer undefined" },
      '"Bearer null"': { Authorization: "Bearer null" },
    };

    for (const [label, headers] of Object.entries(attempts)) {
      it(`refuses GET and PUT with ${label} and says why`, async () => {
        for (const method of ["GET", "PUT"]) {
          const res = await fetch(manifestUrl(ctx), {
            method,
            headers: { ...headers, "Content-Type": "application/json" },
            body: method === "PUT" ? '{"a":1}' : undefined,
          });
          assert.equal(res.status, 503, `${method} with ${label}`);
          assert.match(await res.text(), /HAULWISE_TOKEN is not set/);
        }
        assert.deepEqual(await storedVersions(ctx.mf), []);
      });
    }

    it("refuses other paths and methods too", async () => {
      for (const [path, method] of [
        ["/", "GET"],
        ["/manifest", "DELETE"],
      ]) {
        const res = await fetch(manifestUrl(ctx, path), { method, headers: { Authorization: "Bearer " } });
        assert.equal(res.status, 503, `${method} ${path}`);
        await res.body?.cancel();
      }
    });
  });
}

describe("HAULWISE_TOKEN that no client could send", () => {
  const ctx = useWorker({ token: "has a space" });
  it("is reported as a configuration error", async () => {
    const res = await get(ctx, { Authorization: "Bearer has a space" });
    assert.equal(res.status, 503);
    assert.match(await res.text(), /HAULWISE_TOKEN must consist of printable ASCII/);
  });
});

describe("storing and fetching the manifest", () => {
  const ctx = useWorker({ token: TOKEN });

  // Pretty-printed with CRLF, tabs, escapes and characters from several
  // scripts and planes, so any decoding, normalisation or re-serialisation
  // on the way through would change the bytes.
  const first = Buffer.from(
    '{\r\n\t"hostname": "Caf\u00e9 \u2013 \u6f22\u5b57 \ud83d\ude80",\r\n\t"schemaVersion": 1,\r\n' +
      '\t"generatedAt": "2026-01-31T12:00:00Z", "apps": [],\r\n' +
      '\t"e\u0301": "decomposed",\r\n\t"escaped": "\\u00e9\\n\\ud83d\\ude80",\r\n\t"n": 1.50\r\n}\r\n',
    "utf8",
  );
  const second = Buffer.from(
    '{"schemaVersion":1,"hostname":"h","generatedAt":"","apps":["\u00c5ngstr\u00f6m","\u0645\u0631\u062d\u0628\u0627"],"v":2}',
    "utf8",
  );
  let firstStoredAt;

  it("answers 404 before the first upload", async () => {
    const res = await get(ctx);
    assert.equal(res.status, 404);
    assert.equal((await res.text()).trim(), "No manifest stored yet.");
  });

  it("stores a PUT and reports when, as ISO 8601 UTC", async () => {
    const before = Date.now();
    const res = await put(ctx, first);
    const after = Date.now();
    assert.equal(res.status, 200);
    assert.match(res.headers.get("Content-Type"), /^application\/json\b/);
    const body = await res.json();
    assert.deepEqual(Object.keys(body), ["storedAt"]);
    assert.match(body.storedAt, ISO_UTC);
    const when = Date.parse(body.storedAt);
    assert.ok(when >= before - 1000 && when <= after + 1000, `storedAt ${body.storedAt} is not now`);
    firstStoredAt = body.storedAt;

    const [stored] = await storedVersions(ctx.mf);
    assert.equal(stored.storedAt, body.storedAt);
    assert.equal(stored.bytes, first.length);
  });

  it("returns exactly the stored bytes", async () => {
    const res = await get(ctx);
    assert.equal(res.status, 200);
    assert.match(res.headers.get("Content-Type"), /^application\/json\b/);
    assert.deepEqual(await bytesOf(res), first);
  });

  it("serves a second PUT as the newest manifest", async () => {
    await new Promise((resolve) => setTimeout(resolve, 5));
    const res = await put(ctx, second);
    assert.equal(res.status, 200);
    const { storedAt } = await res.json();
    assert.match(storedAt, ISO_UTC);
    assert.ok(Date.parse(storedAt) >= Date.parse(firstStoredAt));

    const again = await get(ctx);
    assert.equal(again.status, 200);
    assert.deepEqual(await bytesOf(again), second);
  });

  it("round-trips a multi-megabyte manifest sent without Content-Length", async () => {
    const entries = [];
    for (let i = 0; i < 60000; i++) {
      entries.push({ id: i, name: `pkg-${i}-\u00fc\u00df-\u2603`, path: `/Applications/App ${i}.app` });
    }
    const big = Buffer.from(JSON.stringify({ schemaVersion: 1, hostname: "h", generatedAt: "", apps: entries }));
    assert.ok(big.length > 3 * 1024 * 1024);
    const res = await fetch(manifestUrl(ctx), {
      method: "PUT",
      headers: { ...AUTH, "Content-Type": "application/json" },
      body: chunkedBody(big, 65536),
      duplex: "half",
    });
    assert.equal(res.status, 200, await res.clone().text());
    await res.body?.cancel();
    assert.deepEqual(await bytesOf(await get(ctx)), big);
  });

  it("refuses other methods with 405 and Allow: GET, PUT, leaving the manifest alone", async () => {
    const okRes = await put(ctx, second);
    assert.equal(okRes.status, 200);
    await okRes.body?.cancel();
    for (const method of ["POST", "DELETE", "PATCH", "OPTIONS", "HEAD"]) {
      const res = await fetch(manifestUrl(ctx), {
        method,
        headers: AUTH,
        body: method === "POST" || method === "PATCH" ? '{"x":1}' : undefined,
      });
      assert.equal(res.status, 405, method);
      assert.equal(res.headers.get("Allow"), "GET, PUT", method);
      await res.body?.cancel();
    }
    assert.deepEqual(await bytesOf(await get(ctx)), second);
  });

  it("answers 404 for any other path", async () => {
    for (const path of ["/", "/manifest/", "/MANIFEST", "/manifest/extra", "/api/xmanifest", "/manifest.json"]) {
      for (const method of ["GET", "PUT"]) {
        const res = await fetch(manifestUrl(ctx, path), {
          method,
          headers: AUTH,
          body: method === "PUT" ? '{"elsewhere":true}' : undefined,
        });
        assert.equal(res.status, 404, `${method} ${path}`);
        const body = await res.text();
        assert.ok(body.length < 100, "keep the body short");
        assert.ok(!body.includes(TOKEN));
      }
    }
    assert.deepEqual(await bytesOf(await get(ctx)), second);
  });

  const invalid = {
    "an empty body": [Buffer.alloc(0), /empty/],
    "truncated JSON": [Buffer.from('{"apps": ['), /not valid JSON/],
    "plain text": [Buffer.from("hello"), /not valid JSON/],
    "trailing garbage": [Buffer.from('{"a":1} trailing'), /not valid JSON/],
    "a byte order mark": [Buffer.from("\ufeff{}", "utf8"), /byte order mark/],
    "invalid UTF-8": [Buffer.from([0x7b, 0x22, 0x61, 0x22, 0x3a, 0x22, 0xff, 0x22, 0x7d]), /not valid UTF-8/],
    "an empty object": [Buffer.from("{}"), /no "schemaVersion" member/],
    "an array": [Buffer.from("[]"), /must be a JSON object/],
    "a number": [Buffer.from("1"), /must be a JSON object/],
    "a fractional schemaVersion": [manifestWith({ schemaVersion: 1.5 }), /"schemaVersion" must be an integer/],
    "a hostname that is not text": [manifestWith({ hostname: null }), /"hostname" must be text/],
    "a generatedAt that is a number": [manifestWith({ generatedAt: 0 }), /"generatedAt" must be text/],
    "apps that are an object": [manifestWith({ apps: {} }), /"apps" must be an array/],
    "a lone surrogate": [Buffer.from(manifestWith({}).toString().replace('"h"', '"\\ud800"')), /unpaired surrogate/],
    "100,000-deep nesting": [
      Buffer.from(manifestWith({}).toString().replace('"apps":[]', `"apps":${"[".repeat(1e5)}${"]".repeat(1e5)}`)),
      /more than 8 levels/,
    ],
  };
  for (const [name, [body, message]] of Object.entries(invalid)) {
    it(`rejects ${name} with 400 and keeps the previous manifest`, async () => {
      const res = await put(ctx, body);
      assert.equal(res.status, 400);
      assert.match(res.headers.get("Content-Type"), /^text\/plain/);
      assert.match(await res.text(), message);
      assert.deepEqual(await bytesOf(await get(ctx)), second);
    });
  }
});

describe("size limit lowered through MAX_MANIFEST_BYTES", () => {
  const ctx = useWorker({ token: TOKEN, maxManifestBytes: 128 });

  it("accepts a manifest of exactly the limit", async () => {
    const body = jsonOfSize(128);
    const res = await put(ctx, body);
    assert.equal(res.status, 200);
    await res.body?.cancel();
    assert.deepEqual(await bytesOf(await get(ctx)), body);
  });

  it("refuses one byte more with 413 naming the limit", async () => {
    const res = await put(ctx, jsonOfSize(129));
    assert.equal(res.status, 413);
    assert.match(await res.text(), /limit is 128 bytes/);
    assert.deepEqual(await bytesOf(await get(ctx)), jsonOfSize(128));
  });

  it("counts the bytes of a body sent without Content-Length", async () => {
    const res = await fetch(manifestUrl(ctx), {
      method: "PUT",
      headers: { ...AUTH, "Content-Type": "application/json" },
      body: chunkedBody(jsonOfSize(129)),
      duplex: "half",
    });
    assert.equal(res.status, 413);
    assert.match(await res.text(), /limit is 128 bytes/);

    const fits = await fetch(manifestUrl(ctx), {
      method: "PUT",
      headers: { ...AUTH, "Content-Type": "application/json" },
      body: chunkedBody(jsonOfSize(127)),
      duplex: "half",
    });
    assert.equal(fits.status, 200);
    await fits.body?.cancel();
  });

  it("refuses from Content-Length alone, before the body arrives", async () => {
    const response = await rawRequest(
      ctx.url,
      "PUT /manifest HTTP/1.1\r\n" +
        `Host: 127.0.0.1\r\nAuthorization: Bearer ${TOKEN}\r\n` +
        "Content-Type: application/json\r\nContent-Length: 1000000\r\n\r\n",
    );
    assert.match(response, /^HTTP\/1\.1 413 /);
    assert.match(response, /limit is 128 bytes/);
  });
});

describe("default size limit", () => {
  const ctx = useWorker({ token: TOKEN });

  it("is 8 MiB: a manifest that size is stored, one byte more is refused", async () => {
    const atLimit = jsonOfSize(LIMIT);
    const ok = await put(ctx, atLimit);
    assert.equal(ok.status, 200, await ok.clone().text());
    await ok.body?.cancel();
    const back = await bytesOf(await get(ctx));
    assert.equal(back.length, LIMIT);
    assert.ok(back.equals(atLimit));

    // Announced, not sent: the runtime answers 413 and closes the connection while a client would
    // still be uploading 8 MiB, which a busy machine turns into a reset instead of the answer.
    const over = await rawRequest(
      ctx.url,
      "PUT /manifest HTTP/1.1\r\n" +
        `Host: 127.0.0.1\r\nAuthorization: Bearer ${TOKEN}\r\n` +
        `Content-Type: application/json\r\nContent-Length: ${LIMIT + 1}\r\n\r\n`,
    );
    assert.match(over, /^HTTP\/1\.1 413 /);
    assert.match(over, /limit is 8388608 bytes \(8 MiB\)/);
  });
});

describe("invalid MAX_MANIFEST_BYTES", () => {
  it("makes uploads fail with a message saying what is wrong", async () => {
    // One Worker per value, started side by side to keep the suite quick.
    await Promise.all(
      ["abc", "0", "-5", "1.5", String(LIMIT + 1)].map(async (bad) => {
        const { mf, url } = await startLocalWorker({ quiet: true, token: TOKEN, maxManifestBytes: bad });
        try {
          const res = await put({ url }, "{}");
          assert.equal(res.status, 500, `MAX_MANIFEST_BYTES=${bad}`);
          assert.match(
            await res.text(),
            /MAX_MANIFEST_BYTES must be a whole number of bytes between 1 and 8388608/,
            `MAX_MANIFEST_BYTES=${bad}`,
          );
          assert.deepEqual(await storedVersions(mf), [], `MAX_MANIFEST_BYTES=${bad}`);
        } finally {
          await mf.dispose();
        }
      }),
    );
  });
});
