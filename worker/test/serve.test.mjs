// Drives scripts/serve.mjs as a separate process, the way the desktop app's
// integration tests start it.

import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { mkdtempSync, rmSync, writeFileSync } from "node:fs";
import net from "node:net";
import os from "node:os";
import path from "node:path";
import { after, describe, it } from "node:test";
import { fileURLToPath } from "node:url";

const SCRIPTS = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "..", "scripts");
const SERVE = path.join(SCRIPTS, "serve.mjs");
const TOKEN = "serve-test-token-91b7";
const AUTH = { Authorization: `Bearer ${TOKEN}` };

const running = new Set();
after(() => {
  // Only reached when a test failed half-way; never leave servers behind.
  for (const child of running) child.kill("SIGKILL");
});

function startServe(args = [], { withToken = true, script = SERVE } = {}) {
  const env = { ...process.env };
  delete env.HAULWISE_TOKEN;
  if (withToken) env.HAULWISE_TOKEN = TOKEN;
  const child = spawn(process.execPath, [script, ...args], { env, stdio: ["pipe", "pipe", "pipe"] });
  running.add(child);

  let stdout = "";
  let stderr = "";
  child.stdout.setEncoding("utf8").on("data", (d) => (stdout += d));
  child.stderr.setEncoding("utf8").on("data", (d) => (stderr += d));

  const exited = new Promise((resolve) => {
    child.on("exit", (code, signal) => {
      running.delete(child);
      resolve({ code, signal });
    });
  });
  // Wait for stdio to drain too, so the captured output is complete.
  const closed = new Promise((resolve) => child.on("close", resolve));

  const firstLine = new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`no URL within 15 s; stderr: ${stderr}`)), 15000);
    const check = () => {
      const nl = stdout.indexOf("\n");
      if (nl !== -1) {
        clearTimeout(timer);
        resolve(stdout.slice(0, nl));
      }
    };
    child.stdout.on("data", check);
    child.on("exit", (code) => {
      clearTimeout(timer);
      reject(new Error(`exited with ${code} before printing a URL; stderr: ${stderr}`));
    });
  });
  firstLine.catch(() => {});

  return {
    child,
    firstLine,
    async finish() {
      const result = await exited;
      await closed;
      return { ...result, stdout, stderr };
    },
    async stop(signal = "SIGTERM") {
      child.kill(signal);
      return this.finish();
    },
  };
}

async function freePort() {
  const server = net.createServer();
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

// Every test starts its own server process, so they can overlap.
describe("serve.mjs", { concurrency: 4 }, () => {
  it("prints only its URL, serves the Worker and exits 0 on SIGTERM", async () => {
    const serve = startServe();
    const url = await serve.firstLine;
    assert.match(url, /^http:\/\/127\.0\.0\.1:\d+$/);

    const body = Buffer.from('{"schemaVersion":1,"generatedAt":"","hostname":"M\u00e4c \ud83c\udf4f","apps":[]}');
    const putRes = await fetch(`${url}/manifest`, {
      method: "PUT",
      headers: { ...AUTH, "Content-Type": "application/json" },
      body,
    });
    assert.equal(putRes.status, 200);
    assert.match((await putRes.json()).storedAt, /^\d{4}-\d{2}-\d{2}T/);
    const getRes = await fetch(`${url}/manifest`, { headers: AUTH });
    assert.equal(getRes.status, 200);
    assert.deepEqual(Buffer.from(await getRes.arrayBuffer()), body);
    const denied = await fetch(`${url}/manifest`);
    assert.equal(denied.status, 401);
    await denied.body?.cancel();

    const result = await serve.stop("SIGTERM");
    assert.equal(result.signal, null);
    assert.equal(result.code, 0, result.stderr);
    assert.equal(result.stdout, url + "\n", "stdout must hold the URL line and nothing else");

    await assert.rejects(fetch(`${url}/manifest`, { headers: AUTH }), "server still answering after exit");
  });

  it("sample-service.mjs answers a request target that is no URL with 400 and keeps serving", async () => {
    const service = startServe([], { script: path.join(SCRIPTS, "sample-service.mjs") });
    const url = await service.firstLine;
    const { port } = new URL(url);
    const answer = await new Promise((resolve, reject) => {
      let data = "";
      const socket = net.connect({ host: "127.0.0.1", port: Number(port) }, () =>
        socket.end("GET http://[ HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"),
      );
      socket.setEncoding("latin1").on("data", (d) => (data += d));
      socket.on("close", () => resolve(data));
      socket.on("error", reject);
    });
    assert.match(answer, /^HTTP\/1\.1 400 /);
    const lookup = await fetch(`${url}/lookup?bundleId=nothing`);
    assert.equal(lookup.status, 200);
    await lookup.body?.cancel();
    assert.equal((await service.stop()).code, 0);
  });

  it("exits 0 on SIGINT", async () => {
    const serve = startServe();
    await serve.firstLine;
    const result = await serve.stop("SIGINT");
    assert.equal(result.signal, null);
    assert.equal(result.code, 0, result.stderr);
  });

  it("keeps data across a restart with --persist, and only then", async () => {
    const dir = mkdtempSync(path.join(os.tmpdir(), "haulwise-persist-"));
    try {
      const body = Buffer.from('{"schemaVersion":1,"generatedAt":"","hostname":"\u00fcber alles","apps":[1,2,3]}');
      const first = startServe(["--persist", dir]);
      const url1 = await first.firstLine;
      const putRes = await fetch(`${url1}/manifest`, {
        method: "PUT",
        headers: { ...AUTH, "Content-Type": "application/json" },
        body,
      });
      assert.equal(putRes.status, 200);
      await putRes.body?.cancel();
      assert.equal((await first.stop()).code, 0);

      const second = startServe([`--persist=${dir}`]);
      const url2 = await second.firstLine;
      const getRes = await fetch(`${url2}/manifest`, { headers: AUTH });
      assert.equal(getRes.status, 200);
      assert.deepEqual(Buffer.from(await getRes.arrayBuffer()), body);
      assert.equal((await second.stop()).code, 0);

      const inMemory = startServe();
      const url3 = await inMemory.firstLine;
      const fresh = await fetch(`${url3}/manifest`, { headers: AUTH });
      assert.equal(fresh.status, 404, "without --persist nothing is shared with earlier runs");
      await fresh.body?.cancel();
      assert.equal((await inMemory.stop()).code, 0);
    } finally {
      rmSync(dir, { recursive: true, force: true });
    }
  });

  it("listens on the port given with --port", async () => {
    const port = await freePort();
    const serve = startServe(["--port", String(port)]);
    assert.equal(await serve.firstLine, `http://127.0.0.1:${port}`);
    assert.equal((await serve.stop()).code, 0);
  });

  it("applies --max-manifest-bytes", async () => {
    const serve = startServe(["--max-manifest-bytes", "10"]);
    const url = await serve.firstLine;
    const res = await fetch(`${url}/manifest`, {
      method: "PUT",
      headers: { ...AUTH, "Content-Type": "application/json" },
      body: '{"abcdefgh":1}',
    });
    assert.equal(res.status, 413);
    assert.match(await res.text(), /limit is 10 bytes/);
    assert.equal((await serve.stop()).code, 0);
  });

  it("starts without HAULWISE_TOKEN but warns, and the Worker refuses everything", async () => {
    const serve = startServe([], { withToken: false });
    const url = await serve.firstLine;
    const res = await fetch(`${url}/manifest`, { headers: { Authorization: "Bearer " } });
    assert.equal(res.status, 503);
    assert.match(await res.text(), /HAULWISE_TOKEN is not set/);
    const result = await serve.stop();
    assert.equal(result.code, 0);
    assert.match(result.stderr, /warning: HAULWISE_TOKEN is not set/);
    assert.equal(result.stdout, url + "\n");
  });

  const badArgs = {
    "an unknown option": ["--verbose"],
    "a positional argument": ["extra"],
    "--port without a value": ["--port"],
    "a non-numeric port": ["--port", "eighty"],
    "a port out of range": ["--port", "70000"],
    "an empty --persist": ["--persist", ""],
    "--max-manifest-bytes of 0": ["--max-manifest-bytes", "0"],
    "--max-manifest-bytes above 8 MiB": ["--max-manifest-bytes", String(8 * 1024 * 1024 + 1)],
  };
  for (const [name, args] of Object.entries(badArgs)) {
    it(`exits 2 with usage for ${name}`, async () => {
      const result = await startServe(args).finish();
      assert.equal(result.code, 2);
      assert.equal(result.stdout, "");
      assert.match(result.stderr, /Usage: /);
    });
  }

  it("exits 2 when --persist names a file", async () => {
    const dir = mkdtempSync(path.join(os.tmpdir(), "haulwise-persist-"));
    try {
      const file = path.join(dir, "not-a-dir");
      writeFileSync(file, "x");
      const result = await startServe(["--persist", file]).finish();
      assert.equal(result.code, 2);
      assert.equal(result.stdout, "");
      assert.match(result.stderr, /not a directory/);
    } finally {
      rmSync(dir, { recursive: true, force: true });
    }
  });

  it("exits 1 with a clear message when the port is taken", async () => {
    const blocker = net.createServer();
    await new Promise((resolve) => blocker.listen(0, "127.0.0.1", resolve));
    try {
      const result = await startServe(["--port", String(blocker.address().port)]).finish();
      assert.equal(result.code, 1);
      assert.equal(result.stdout, "");
      assert.match(result.stderr, /could not start the Worker: .*Address already in use/);
    } finally {
      await new Promise((resolve) => blocker.close(resolve));
    }
  });
});
