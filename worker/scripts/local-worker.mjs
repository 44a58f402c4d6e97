// Runs src/index.js in a local Miniflare instance configured like the deployed
// Worker. Shared by scripts/serve.mjs and the tests so both exercise the same
// set-up.

import { readFileSync } from "node:fs";
import path from "node:path";
import readline from "node:readline";
import { fileURLToPath } from "node:url";
import { Log, LogLevel, Miniflare } from "miniflare";

export const WORKER_ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "..");

// The same names wrangler.toml declares; the tests check the two agree.
export const STORE_BINDING = "MANIFEST_STORE";
export const STORE_CLASS = "ManifestStore";
export const LEGACY_KV_BINDING = "MANIFESTS";

// Everything Miniflare or workerd says goes to stderr: stdout of serve.mjs is
// reserved for the single line announcing the URL.
class StderrLog extends Log {
  log(message) {
    process.stderr.write(message + "\n");
  }
}

function forwardToStderr(stdout, stderr) {
  for (const stream of [stdout, stderr]) {
    readline.createInterface({ input: stream }).on("line", (line) => {
      process.stderr.write(line + "\n");
    });
  }
}

// wrangler.toml is the one place the compatibility date is chosen; reading it
// here keeps local runs on the same runtime behaviour as a deployment.
export function compatibilityDateFromWranglerToml() {
  const toml = readFileSync(path.join(WORKER_ROOT, "wrangler.toml"), "utf8");
  const match = /^\s*compatibility_date\s*=\s*"(\d{4}-\d{2}-\d{2})"\s*$/m.exec(toml);
  if (!match) {
    throw new Error('wrangler.toml has no compatibility_date = "YYYY-MM-DD" line');
  }
  return match[1];
}

/**
 * Starts the Worker on 127.0.0.1.
 *
 * @param {object} [options]
 * @param {string} [options.token]  value of HAULWISE_TOKEN; undefined leaves it unbound
 * @param {number} [options.port]   0 or undefined picks a free port
 * @param {string} [options.persistDir]  keep stored data in this directory; in memory otherwise
 * @param {boolean} [options.legacyKv]  bind the MANIFESTS KV namespace earlier releases
 *   stored into (default true, so a --persist directory from then is taken over)
 * @param {number|string} [options.maxManifestBytes]  MAX_MANIFEST_BYTES binding
 * @param {boolean} [options.quiet]  drop Miniflare's own warnings
 * @param {boolean} [options.ownSignals]  the caller handles SIGINT/SIGTERM itself
 * @returns {Promise<{ mf: Miniflare, url: string }>} url has no trailing slash
 */
export async function startLocalWorker(options = {}) {
  const bindings = {};
  if (options.token !== undefined) {
    bindings.HAULWISE_TOKEN = options.token;
  }
  if (options.maxManifestBytes !== undefined) {
    bindings.MAX_MANIFEST_BYTES = String(options.maxManifestBytes);
  }

  const persist = options.persistDir === undefined ? false : path.resolve(options.persistDir);

  const signals = ["SIGINT", "SIGTERM"];
  const listenersBefore = new Map(signals.map((signal) => [signal, process.listeners(signal)]));

  const mf = new Miniflare({
    host: "127.0.0.1",
    port: options.port ?? 0,
    // No request.cf lookup: that would reach out to the internet at start-up.
    cf: false,
    log: options.quiet ? new StderrLog(LogLevel.NONE) : new StderrLog(LogLevel.WARN),
    handleRuntimeStdio: forwardToStderr,
    name: "haulwise-sync",
    scriptPath: path.join(WORKER_ROOT, "src", "index.js"),
    modulesRoot: WORKER_ROOT,
    modules: true,
    // package.json says "type": "module", so .js files are ES modules too.
    modulesRules: [{ type: "ESModule", include: ["**/*.js"] }],
    compatibilityDate: compatibilityDateFromWranglerToml(),
    bindings,
    durableObjects: {
      [STORE_BINDING]: { className: STORE_CLASS, useSQLite: true },
    },
    durableObjectsPersist: persist,
    // Earlier releases kept KV data directly in the --persist directory; it
    // stays there so a local manifest from then is taken over.
    kvNamespaces: options.legacyKv === false ? {} : { [LEGACY_KV_BINDING]: "haulwise-local-manifests" },
    kvPersist: persist,
    // The Worker has no reason to make outgoing requests; if it ever tries,
    // answer locally rather than let a local run touch the network.
    outboundService: () =>
      new Response("Outgoing requests are disabled for the local Haulwise Worker.", {
        status: 502,
      }),
  });

  // Miniflare answers SIGINT/SIGTERM by killing workerd and exiting with
  // 128+signal. A caller that promises its own shutdown behaviour (serve.mjs
  // exits 0 after an orderly dispose) takes those signals back; its own
  // process-exit cleanup stays in place as a safety net.
  if (options.ownSignals) {
    for (const signal of signals) {
      const before = listenersBefore.get(signal);
      for (const listener of process.listeners(signal)) {
        if (!before.includes(listener)) {
          process.removeListener(signal, listener);
        }
      }
    }
  }

  let url;
  try {
    url = await mf.ready;
  } catch (err) {
    await mf.dispose().catch(() => {});
    throw err;
  }
  return { mf, url: url.origin };
}
