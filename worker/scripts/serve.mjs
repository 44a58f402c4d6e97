#!/usr/bin/env node
// Serves the sync Worker locally on 127.0.0.1 so the desktop app and its
// tests can talk to a real Worker without deploying one.
//
// Contract relied on by callers (keep it stable):
//   - the first and only line on stdout is the base URL, e.g. http://127.0.0.1:41234
//   - everything else goes to stderr
//   - SIGTERM / SIGINT shut the server down and exit 0
//   - bad arguments print usage on stderr and exit 2; failing to start exits 1

import { mkdirSync, statSync } from "node:fs";

import { readOptions, stopWhenAsked, wholeNumber } from "./command-line.mjs";

const MANIFEST_LIMIT_BYTES = 8 * 1024 * 1024;

const USAGE = `Usage: HAULWISE_TOKEN=<token> node scripts/serve.mjs [options]

Serves the Haulwise sync Worker on 127.0.0.1 and prints its base URL as the
only line on standard output.

Options:
  --port N                  listen on port N (default: a free port)
  --persist DIR             keep the stored manifests in DIR across restarts
                            (default: in memory, gone when the server stops)
  --max-manifest-bytes N    refuse uploads larger than N bytes
                            (default and maximum: ${MANIFEST_LIMIT_BYTES})
  -h, --help                show this help
`;

const { values: args, fail } = readOptions("serve.mjs", USAGE, {
  port: { type: "string" },
  persist: { type: "string" },
  "max-manifest-bytes": { type: "string" },
});

const port = args.port === undefined ? 0 : wholeNumber(fail, "--port", args.port, 0, 65535);

const maxManifestBytes =
  args["max-manifest-bytes"] === undefined
    ? undefined
    : wholeNumber(fail, "--max-manifest-bytes", args["max-manifest-bytes"], 1, MANIFEST_LIMIT_BYTES);

let persistDir;
if (args.persist !== undefined) {
  if (args.persist === "") {
    fail("--persist needs a directory");
  }
  const existing = statSync(args.persist, { throwIfNoEntry: false });
  if (existing !== undefined && !existing.isDirectory()) {
    fail(`--persist "${args.persist}" is not a directory`);
  }
  try {
    mkdirSync(args.persist, { recursive: true });
  } catch (err) {
    fail(`cannot use "${args.persist}" as the --persist directory: ${err.message}`);
  }
  persistDir = args.persist;
}

const token = process.env.HAULWISE_TOKEN;
if (token === undefined || token === "") {
  process.stderr.write(
    "serve.mjs: warning: HAULWISE_TOKEN is not set; the Worker will refuse every request.\n",
  );
}

let worker = null;
let stopping = false;

async function stop(reason) {
  if (stopping) {
    return;
  }
  stopping = true;
  process.stderr.write(`serve.mjs: stopping (${reason})\n`);
  // Should the runtime wedge, still go away rather than hang the caller.
  setTimeout(() => {
    process.stderr.write("serve.mjs: shutdown timed out\n");
    process.exit(1);
  }, 10_000).unref();
  try {
    if (worker !== null) {
      await worker.mf.dispose();
    }
  } catch (err) {
    process.stderr.write(`serve.mjs: error while stopping: ${err.stack ?? err}\n`);
    process.exit(1);
  }
  process.exit(0);
}

// Installed before start-up so a request that arrives early is not lost; if
// one does, stop() runs once the server exists (see below).
let pendingSignal = null;
stopWhenAsked((reason) => {
  if (worker === null) {
    pendingSignal = reason;
  } else {
    stop(reason);
  }
});

try {
  // Loaded only now: Miniflare takes most of a second to import, and bad
  // arguments should be reported without that wait.
  const { startLocalWorker } = await import("./local-worker.mjs");
  worker = await startLocalWorker({ token, port, persistDir, maxManifestBytes, ownSignals: true });
} catch (err) {
  process.stderr.write(`serve.mjs: could not start the Worker: ${err.message ?? err}\n`);
  process.exit(1);
}

if (pendingSignal !== null) {
  await stop(pendingSignal);
} else {
  process.stdout.write(worker.url + "\n");
  process.stderr.write(
    `serve.mjs: serving on ${worker.url}` +
      (persistDir === undefined ? " (in memory)" : ` (data in ${persistDir})`) +
      "\n",
  );
}
