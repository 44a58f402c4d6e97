// What `npx wrangler deploy` would do with wrangler.toml, without an account
// or the network: a broken binding, class or migration fails here instead of
// on the owner's first deploy.

import assert from "node:assert/strict";
import { execFile } from "node:child_process";
import { mkdtempSync, readdirSync, rmSync } from "node:fs";
import os from "node:os";
import path from "node:path";
import { after, describe, it } from "node:test";
import { promisify } from "node:util";
import {
  STORE_BINDING,
  STORE_CLASS,
  WORKER_ROOT,
  compatibilityDateFromWranglerToml,
} from "../scripts/local-worker.mjs";

const run = promisify(execFile);
const WRANGLER = path.join(WORKER_ROOT, "node_modules", "wrangler", "bin", "wrangler.js");

// Wrangler keeps its settings and logs under the home folder and asks the
// registry whether it is current; a private home and these switches keep it
// to itself.
const scratch = mkdtempSync(path.join(os.tmpdir(), "haulwise-wrangler-"));
after(() => rmSync(scratch, { recursive: true, force: true }));
const env = {
  PATH: process.env.PATH,
  HOME: scratch,
  XDG_CONFIG_HOME: path.join(scratch, "config"),
  WRANGLER_LOG_PATH: path.join(scratch, "logs"),
  WRANGLER_SEND_METRICS: "false",
  WRANGLER_HIDE_BANNER: "true",
  NO_COLOR: "1",
};

describe("wrangler.toml", { concurrency: true }, () => {
  it("passes `wrangler deploy --dry-run` with the store bound", async () => {
    const outdir = path.join(scratch, "out");
    const { stdout } = await run(process.execPath, [WRANGLER, "deploy", "--dry-run", "--outdir", outdir], {
      cwd: WORKER_ROOT,
      env,
      timeout: 60_000,
    });
    assert.match(stdout, new RegExp(`env\\.${STORE_BINDING} \\(${STORE_CLASS}\\)\\s+Durable Object`));
    assert.ok(readdirSync(outdir).includes("index.js"), "no bundle written");
  });

  it("declares a SQLite-backed store, as the local runs use it", async () => {
    // Wrangler's own reading of the file, including which classes its
    // migrations create with SQLite storage.
    const script = `
      import { unstable_getMiniflareWorkerOptions } from "wrangler";
      const { workerOptions } = unstable_getMiniflareWorkerOptions("wrangler.toml");
      console.log(JSON.stringify({
        durableObjects: workerOptions.durableObjects,
        compatibilityDate: workerOptions.compatibilityDate,
      }));`;
    const { stdout } = await run(process.execPath, ["--input-type=module", "-e", script], {
      cwd: WORKER_ROOT,
      env,
      timeout: 60_000,
    });
    assert.deepEqual(JSON.parse(stdout.trim().split("\n").at(-1)), {
      durableObjects: { [STORE_BINDING]: { className: STORE_CLASS, useSQLite: true } },
      compatibilityDate: compatibilityDateFromWranglerToml(),
    });
  });
});
