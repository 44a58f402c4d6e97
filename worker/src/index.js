// Haulwise sync Worker: keeps exactly one manifest (a JSON document) for its
// owner, readable and writable only with the owner's bearer token.
//
//   PUT /manifest   store the request body, answer {"storedAt": "<ISO time>"}
//   GET /manifest   answer the stored bytes, or 404 before the first upload
//
// Bindings:
//   HAULWISE_TOKEN      secret; every request must send "Authorization: Bearer <it>"
//   MANIFESTS           KV namespace holding the manifest under MANIFEST_KEY
//   MAX_MANIFEST_BYTES  optional var lowering the size limit (tests use it so
//                       they need not push 25 MiB around); never above KV's cap

const MANIFEST_PATH = "/manifest";
const MANIFEST_KEY = "manifest";

// Largest value a KV namespace accepts. Anything bigger would only fail later
// inside put(), so it is refused up front with a message the user can act on.
const KV_VALUE_LIMIT_BYTES = 25 * 1024 * 1024;

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
  const url = new URL(request.url);
  if (url.pathname !== MANIFEST_PATH) {
    return text(404, "Not found.");
  }

  if (request.method !== "GET" && request.method !== "PUT") {
    return text(405, "Method not allowed; use GET or PUT.", { Allow: "GET, PUT" });
  }

  if (!env.MANIFESTS || typeof env.MANIFESTS.put !== "function") {
    return text(
      503,
      "The MANIFESTS KV namespace is not bound to this Worker; add it to wrangler.toml and deploy again.",
    );
  }

  return request.method === "GET" ? getManifest(env) : putManifest(request, env);
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

async function getManifest(env) {
  const value = await env.MANIFESTS.get(MANIFEST_KEY, { type: "stream" });
  if (value === null) {
    return text(404, "No manifest stored yet.");
  }
  return new Response(value, {
    status: 200,
    headers: { "Content-Type": JSON_TYPE, "Cache-Control": "no-store" },
  });
}

async function putManifest(request, env) {
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

  const problem = jsonProblem(body);
  if (problem !== null) {
    return text(400, problem);
  }

  const storedAt = new Date().toISOString();
  try {
    await env.MANIFESTS.put(MANIFEST_KEY, body, { metadata: { storedAt } });
  } catch (err) {
    const message = String(err && err.message ? err.message : err);
    console.error("KV put failed:", message);
    // KV allows one write per second to a key; a quick second upload trips it.
    if (/\b429\b/.test(message)) {
      return text(429, "The manifest was written moments ago; try again in a second.", {
        "Retry-After": "1",
      });
    }
    return text(503, "Could not store the manifest right now; try again shortly.");
  }

  return new Response(JSON.stringify({ storedAt }), {
    status: 200,
    headers: { "Content-Type": JSON_TYPE, "Cache-Control": "no-store" },
  });
}

function manifestLimit(configured) {
  if (configured === undefined || configured === null || configured === "") {
    return KV_VALUE_LIMIT_BYTES;
  }
  const value = typeof configured === "number" ? configured : Number(String(configured).trim());
  if (!Number.isSafeInteger(value) || value < 1 || value > KV_VALUE_LIMIT_BYTES) {
    return `MAX_MANIFEST_BYTES must be a whole number of bytes between 1 and ${KV_VALUE_LIMIT_BYTES}.`;
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
// not parse is refused here rather than stored and discovered on the new Mac.
function jsonProblem(bytes) {
  if (bytes.byteLength === 0) {
    return "The manifest is empty; send a JSON document.";
  }
  if (bytes.byteLength >= 3 && bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf) {
    return "The manifest starts with a UTF-8 byte order mark; send plain JSON without one.";
  }
  let textValue;
  try {
    textValue = new TextDecoder("utf-8", { fatal: true }).decode(bytes);
  } catch {
    return "The manifest is not valid UTF-8 text.";
  }
  try {
    JSON.parse(textValue);
  } catch (err) {
    return `The manifest is not valid JSON: ${err && err.message ? err.message : err}`;
  }
  return null;
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
