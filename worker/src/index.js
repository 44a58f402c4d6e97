// Haulwise sync Worker: keeps the recent manifests (JSON documents) of its
// owner's Macs, readable and writable only with the owner's bearer token.
//
//   PUT /manifest        store the body as a new version, answer {"storedAt": "<ISO time>"}
//   GET /manifest        the newest version's bytes, or 404 before the first upload
//   GET /manifests       {"manifests": [{id, storedAt, hostname, apps, bytes}, ...]}, newest first
//   GET /manifests/<id>  that version's bytes, or 404
//
// Each path may sit under any base path (/haulwise/manifest works the same).
// A path ending in /manifests/<anything> always names a version, so the base
// path may not itself end in /manifests.
//
// Bindings:
//   HAULWISE_TOKEN      secret; every request must send "Authorization: Bearer <it>"
//   MANIFEST_STORE      the ManifestStore Durable Object namespace that keeps the versions
//   MANIFESTS           optional KV namespace where earlier releases kept the one
//                       manifest; it is taken over as the first version
//   MAX_MANIFEST_BYTES  optional var lowering the size limit (tests use it so
//                       they need not push 8 MiB around)

import { summarizeManifest } from "./store.js";

export { ManifestStore } from "./store.js";

// Largest manifest accepted. A manifest of 500 apps is about 120 KiB, so this
// leaves a great deal of room, while the body, its decoded text and its
// parsed form together stay well inside an isolate's 128 MB (a body of 25 MiB
// raised the runtime's memory by some 250 MB).
const MANIFEST_LIMIT_BYTES = 8 * 1024 * 1024;

// How deeply arrays and objects may nest. A manifest needs three levels (the
// document, its lists, their records); parsing and walking a document nested
// thousands deep is only work for nothing.
const MAX_NESTING = 8;

// Every version lives in this one object, which is what makes a read after an
// upload see it.
const STORE_NAME = "manifests";

// Ids are what the store issues (crypto.randomUUID()); nothing else names a version.
const VERSION_ID = /^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$/;

const JSON_TYPE = "application/json";

export default {
  async fetch(request, env) {
    try {
      return await handle(request, env);
    } catch (err) {
      // Never echo internals (or anything derived from the token) to a caller;
      // the details go to the Worker's own log instead.
      console.error("Unhandled error:", err && err.stack ? err.stack : err);
      return text(500, "Internal error in the Haulwise sync Worker.");
    }
  },
};

async function handle(request, env) {
  const tokenProblem = checkConfiguredToken(env.HAULWISE_TOKEN);
  if (tokenProblem !== null) {
    return text(503, tokenProblem);
  }

  if (!(await isAuthorized(request.headers.get("Authorization"), env.HAULWISE_TOKEN))) {
    return text(401, "Unauthorized", { "WWW-Authenticate": 'Bearer realm="haulwise"' });
  }

  // Only reached with a valid token, so probing paths without one learns nothing.
  const route = routeOf(new URL(request.url).pathname);
  if (route === null) {
    return text(404, "Not found.");
  }

  const allowed = route.kind === "manifest" ? ["GET", "PUT"] : ["GET"];
  if (!allowed.includes(request.method)) {
    return text(405, `Method not allowed; use ${allowed.join(" or ")}.`, { Allow: allowed.join(", ") });
  }

  if (!env.MANIFEST_STORE || typeof env.MANIFEST_STORE.idFromName !== "function") {
    return text(
      503,
      "The MANIFEST_STORE Durable Object is not bound to this Worker; add it to wrangler.toml and deploy again.",
    );
  }
  const store = env.MANIFEST_STORE.get(env.MANIFEST_STORE.idFromName(STORE_NAME));

  switch (route.kind) {
    case "manifest":
      return request.method === "PUT" ? putManifest(request, env, store) : getNewest(store);
    case "list":
      return listVersions(store);
    default:
      return getVersion(store, route.id);
  }
}

// The last path segments decide; whatever comes before them is the base path
// the owner put the Worker under. A version's path is matched first: its id
// is one segment, and "/manifests/manifest" must not read as the newest.
function routeOf(pathname) {
  const version = /\/manifests\/([^/]*)$/.exec(pathname);
  if (version !== null) {
    return { kind: "version", id: VERSION_ID.test(version[1]) ? version[1] : null };
  }
  if (pathname.endsWith("/manifest")) {
    return { kind: "manifest" };
  }
  if (pathname.endsWith("/manifests")) {
    return { kind: "list" };
  }
  return null;
}

// Returns null when the secret is usable, otherwise the reason it is not.
// An empty secret must never turn into "any empty bearer token works", and a
// secret that no HTTP client can send verbatim (header values are trimmed and
// may not hold control characters) would lock the owner out with nothing but
// 401s to go on, so both are reported as configuration errors instead.
function checkConfiguredToken(token) {
  if (typeof token !== "string" || token.length === 0) {
    return "HAULWISE_TOKEN is not set on this Worker. Set it with `wrangler secret put HAULWISE_TOKEN`.";
  }
  if (!/^[\x21-\x7e]+$/.test(token)) {
    return "HAULWISE_TOKEN must consist of printable ASCII characters without spaces. Set it again with `wrangler secret put HAULWISE_TOKEN`.";
  }
  return null;
}

// Compares SHA-256 digests rather than the strings themselves so the time
// taken depends neither on where the first differing character is nor on the
// length of the guess.
async function isAuthorized(header, token) {
  const expected = await sha256("Bearer " + token);
  const given = await sha256(header === null ? "" : header);
  let diff = 0;
  for (let i = 0; i < expected.length; i++) {
    diff |= expected[i] ^ given[i];
  }
  return diff === 0;
}

async function sha256(value) {
  const bytes = new TextEncoder().encode(value);
  return new Uint8Array(await crypto.subtle.digest("SHA-256", bytes));
}

async function getNewest(store) {
  const pieces = await askStore(() => store.newest());
  if (pieces instanceof Response) {
    return pieces;
  }
  return pieces === null ? text(404, "No manifest stored yet.") : jsonBody(pieces);
}

async function getVersion(store, id) {
  const pieces = id === null ? null : await askStore(() => store.version(id));
  if (pieces instanceof Response) {
    return pieces;
  }
  return pieces === null ? text(404, "No stored manifest has that id.") : jsonBody(pieces);
}

async function listVersions(store) {
  const manifests = await askStore(() => store.list());
  if (manifests instanceof Response) {
    return manifests;
  }
  return json({ manifests });
}

async function putManifest(request, env, store) {
  const limit = manifestLimit(env.MAX_MANIFEST_BYTES);
  if (typeof limit === "string") {
    return text(500, limit);
  }
  const tooLarge = () =>
    text(413, `Manifest too large: the limit is ${describeBytes(limit)}.`);

  // A declared length lets an oversized upload be refused before any of it is
  // read; the body is still counted below because the header is optional.
  const declared = request.headers.get("Content-Length");
  if (declared !== null && /^\d+$/.test(declared.trim()) && Number(declared.trim()) > limit) {
    return tooLarge();
  }

  const body = await readBodyUpTo(request, limit);
  if (body === null) {
    return tooLarge();
  }

  const parsed = parseManifest(body);
  if (parsed.problem !== undefined) {
    return text(400, parsed.problem);
  }

  const stored = await askStore(
    () => store.store(body, summarizeManifest(parsed.value)),
    "Could not store the manifest right now; try again shortly.",
  );
  if (stored instanceof Response) {
    return stored;
  }
  return json({ storedAt: stored.storedAt });
}

// Runs one call on the storage object; a failure there (an outage, or a
// take-over of the old manifest that could not read it yet) becomes a 503 the
// client can show and retry, never a half answer.
async function askStore(call, message = "Could not read the stored manifests right now; try again shortly.") {
  try {
    return await call();
  } catch (err) {
    console.error("Manifest store failed:", err && err.stack ? err.stack : err);
    return text(503, message);
  }
}

function jsonBody(pieces) {
  return new Response(new Blob(pieces), {
    status: 200,
    headers: { "Content-Type": JSON_TYPE, "Cache-Control": "no-store" },
  });
}

function json(value) {
  return new Response(JSON.stringify(value), {
    status: 200,
    headers: { "Content-Type": JSON_TYPE, "Cache-Control": "no-store" },
  });
}

function manifestLimit(configured) {
  if (configured === undefined || configured === null || configured === "") {
    return MANIFEST_LIMIT_BYTES;
  }
  const value = typeof configured === "number" ? configured : Number(String(configured).trim());
  if (!Number.isSafeInteger(value) || value < 1 || value > MANIFEST_LIMIT_BYTES) {
    return `MAX_MANIFEST_BYTES must be a whole number of bytes between 1 and ${MANIFEST_LIMIT_BYTES}.`;
  }
  return value;
}

// Reads the whole body into one buffer, giving up (null) as soon as it grows
// past `limit`, so a huge chunked upload is not buffered just to be refused.
async function readBodyUpTo(request, limit) {
  if (request.body === null) {
    return new Uint8Array(0);
  }
  const reader = request.body.getReader();
  const chunks = [];
  let total = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) {
      break;
    }
    total += value.byteLength;
    if (total > limit) {
      await reader.cancel().catch(() => {});
      return null;
    }
    chunks.push(value);
  }
  const body = new Uint8Array(total);
  let offset = 0;
  for (const chunk of chunks) {
    body.set(chunk, offset);
    offset += chunk.byteLength;
  }
  return body;
}

// The restore side trusts whatever comes back from GET, so a body it could
// not read as a manifest is refused here rather than stored and discovered on
// the new Mac (where an empty "{}" would even pass for another Mac's).
// Answers { value } with the parsed document or { problem } saying what is wrong.
function parseManifest(bytes) {
  if (bytes.byteLength === 0) {
    return { problem: "The manifest is empty; send a JSON document." };
  }
  if (bytes.byteLength >= 3 && bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf) {
    return { problem: "The manifest starts with a UTF-8 byte order mark; send plain JSON without one." };
  }
  let textValue;
  try {
    textValue = new TextDecoder("utf-8", { fatal: true }).decode(bytes);
  } catch {
    return { problem: "The manifest is not valid UTF-8 text." };
  }
  if (nestingDepth(textValue) > MAX_NESTING) {
    return { problem: `The manifest nests arrays and objects more than ${MAX_NESTING} levels deep.` };
  }
  let value;
  try {
    value = JSON.parse(textValue);
  } catch (err) {
    return { problem: `The manifest is not valid JSON: ${err && err.message ? err.message : err}` };
  }
  const problem = shapeProblem(value);
  return problem === null ? { value } : { problem };
}

// The members every manifest has, with the type each must hold.
const REQUIRED_MEMBERS = [
  ["schemaVersion", "an integer", Number.isSafeInteger],
  ["hostname", "text", (v) => typeof v === "string"],
  ["generatedAt", "text", (v) => typeof v === "string"],
  ["apps", "an array", Array.isArray],
];

function shapeProblem(value) {
  if (value === null || typeof value !== "object" || Array.isArray(value)) {
    return "The manifest must be a JSON object.";
  }
  for (const [key, what, fits] of REQUIRED_MEMBERS) {
    if (!Object.hasOwn(value, key)) {
      return `The manifest has no "${key}" member.`;
    }
    if (!fits(value[key])) {
      return `The manifest's "${key}" must be ${what}.`;
    }
  }
  // JSON escapes can spell half of a surrogate pair, which no reader can turn
  // back into text.
  if (!wellFormedText(value)) {
    return "The manifest holds text that is not valid Unicode (an unpaired surrogate escape).";
  }
  return null;
}

// Nesting is bounded before this walks, so it cannot run out of stack.
function wellFormedText(value) {
  if (typeof value === "string") {
    return value.isWellFormed();
  }
  if (value === null || typeof value !== "object") {
    return true;
  }
  for (const [key, member] of Object.entries(value)) {
    if (!key.isWellFormed() || !wellFormedText(member)) {
      return false;
    }
  }
  return true;
}

// The deepest nesting of arrays and objects in JSON text, counted without
// parsing it; brackets inside strings do not count.
function nestingDepth(jsonText) {
  let depth = 0;
  let deepest = 0;
  let inString = false;
  for (let i = 0; i < jsonText.length; i++) {
    const c = jsonText.charCodeAt(i);
    if (inString) {
      if (c === 0x5c) {
        i++;
      } else if (c === 0x22) {
        inString = false;
      }
    } else if (c === 0x22) {
      inString = true;
    } else if (c === 0x5b || c === 0x7b) {
      deepest = Math.max(deepest, ++depth);
    } else if (c === 0x5d || c === 0x7d) {
      depth--;
    }
  }
  return deepest;
}

function describeBytes(n) {
  const mib = 1024 * 1024;
  if (n % mib === 0) return `${n} bytes (${n / mib} MiB)`;
  if (n % 1024 === 0) return `${n} bytes (${n / 1024} KiB)`;
  return `${n} bytes`;
}

function text(status, body, extraHeaders = {}) {
  return new Response(body + "\n", {
    status,
    headers: {
      "Content-Type": "text/plain; charset=utf-8",
      "Cache-Control": "no-store",
      ...extraHeaders,
    },
  });
}
