#!/usr/bin/env node
// Stands in, on 127.0.0.1, for the two public services an online scan asks: the Homebrew cask
// catalogue and the App Store lookup. It answers for the applications of the sample Mac that
// scripts/sample-mac builds, so an online scan of that Mac works without a network. For a restore onto
// a sample Mac it also serves the stand-ins of Homebrew's install script and of the brew it installs
// (scripts/sample-mac.d), at the addresses of the real ones.
//
// Same conventions as serve.mjs (keep them stable, callers rely on them):
//   - the first and only line on stdout is the base URL, e.g. http://127.0.0.1:41234
//   - everything else goes to stderr
//   - SIGTERM / SIGINT shut the server down and exit 0
//   - bad arguments print usage on stderr and exit 2; failing to start exits 1
//
// The data are committed beside this script: sample-catalogue.json holds real catalogue entries
// (trimmed to the fields that matter, siblings and disabled casks included) and sample-lookup.json
// the lookup service's result records.

import { readFileSync } from "node:fs";
import { createServer } from "node:http";
import path from "node:path";
import { fileURLToPath } from "node:url";

import { readOptions, stopWhenAsked, wholeNumber } from "./command-line.mjs";

const HERE = path.dirname(fileURLToPath(import.meta.url));

const USAGE = `Usage: node scripts/sample-service.mjs [options]

Serves a cask catalogue (GET /api/cask.json) and App Store lookups
(GET /lookup?bundleId=...) for the sample Mac on 127.0.0.1 and prints its base
URL as the only line on standard output. Point a scan at it with
--catalogue-url URL --lookup-url URL. It also serves stand-ins of Homebrew's
install script (GET /Homebrew/install/HEAD/install.sh) and of the brew it
installs (GET /Homebrew/brew/bin/brew), for a restore onto a sample Mac
(--install-url URL).

Options:
  --port N      listen on port N (default: a free port)
  -h, --help    show this help
`;

const { values: args, fail } = readOptions("sample-service.mjs", USAGE, {
  port: { type: "string" },
});
const port = args.port === undefined ? 0 : wholeNumber(fail, "--port", args.port, 0, 65535);

let catalogueBody;
let installScript;
let brewBody;
const lookupResults = new Map();
try {
  const standIns = path.join(HERE, "..", "..", "scripts", "sample-mac.d");
  installScript = readFileSync(path.join(standIns, "homebrew-install.sh"), "utf8");
  brewBody = readFileSync(path.join(standIns, "tools", "brew"));
  // Served as the bytes on disk: the catalogue is parsed by the client, not here.
  catalogueBody = readFileSync(path.join(HERE, "sample-catalogue.json"));
  JSON.parse(catalogueBody.toString("utf8"));
  for (const result of JSON.parse(readFileSync(path.join(HERE, "sample-lookup.json"), "utf8"))) {
    lookupResults.set(result.bundleId, result);
  }
} catch (err) {
  process.stderr.write(`sample-service.mjs: could not read its data: ${err.message}\n`);
  process.exit(1);
}

function send(response, status, body, headers = {}, type = "application/json; charset=utf-8") {
  const bytes = typeof body === "string" ? Buffer.from(body, "utf8") : body;
  response.writeHead(status, {
    "Content-Type": type,
    "Content-Length": bytes.length,
    ...headers,
  });
  response.end(response.req.method === "HEAD" ? undefined : bytes);
}

// The lookup service answers an unknown identifier with 200 and no results, not with an error:
// an application the store no longer lists looks exactly like this.
function lookup(url) {
  const bundleId = url.searchParams.get("bundleId");
  const result = bundleId === null ? undefined : lookupResults.get(bundleId);
  const results = result === undefined ? [] : [result];
  return JSON.stringify({ resultCount: results.length, results }) + "\n";
}

// A request target that is no URL at all ("http://[") answers 400; left to throw, it would end the
// whole service.
function urlOf(request) {
  try {
    return new URL(request.url, "http://127.0.0.1");
  } catch {
    return null;
  }
}

const server = createServer((request, response) => {
  const url = urlOf(request);
  process.stderr.write(`sample-service.mjs: ${request.method} ${JSON.stringify(request.url)}\n`);
  if (url === null) {
    send(response, 400, JSON.stringify({ error: "bad request target" }) + "\n");
  } else if (request.method !== "GET" && request.method !== "HEAD") {
    send(response, 405, JSON.stringify({ error: "method not allowed" }) + "\n", { Allow: "GET, HEAD" });
  } else if (url.pathname === "/api/cask.json") {
    send(response, 200, catalogueBody);
  } else if (url.pathname === "/lookup") {
    send(response, 200, lookup(url));
  } else if (url.pathname === "/Homebrew/install/HEAD/install.sh") {
    // The installer fetches the brew it installs from where it was fetched itself.
    const base = `http://127.0.0.1:${server.address().port}`;
    send(response, 200, installScript.replaceAll("@SERVICE@", base), {}, "text/plain; charset=utf-8");
  } else if (url.pathname === "/Homebrew/brew/bin/brew") {
    send(response, 200, brewBody, {}, "text/plain; charset=utf-8");
  } else {
    send(response, 404, JSON.stringify({ error: "not found" }) + "\n");
  }
});

let stopping = false;
function stop(reason) {
  if (stopping) {
    return;
  }
  stopping = true;
  process.stderr.write(`sample-service.mjs: stopping (${reason})\n`);
  setTimeout(() => process.exit(0), 2_000).unref();
  server.close(() => process.exit(0));
  server.closeAllConnections();
}
stopWhenAsked(stop);

server.on("error", (err) => {
  process.stderr.write(`sample-service.mjs: could not start: ${err.message}\n`);
  process.exit(1);
});
server.listen(port, "127.0.0.1", () => {
  if (stopping) {
    return;
  }
  const url = `http://127.0.0.1:${server.address().port}`;
  process.stdout.write(url + "\n");
  process.stderr.write(
    `sample-service.mjs: serving ${lookupResults.size} App Store records and the sample catalogue on ${url}\n`,
  );
});
