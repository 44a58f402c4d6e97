// The one place manifests are kept: a Durable Object with its own SQLite
// database. Every request for any manifest goes to the same instance, so a
// read that starts after an upload has been answered always sees it, and the
// object handles one storage call at a time, so an upload is never seen half
// written.

import { DurableObject } from "cloudflare:workers";

// A stored value (string, BLOB or whole row) may not exceed 2 MB, so bodies
// are split into pieces of 1 MiB, leaving room for the rest of the row.
export const CHUNK_BYTES = 1024 * 1024;

// Newest versions kept for each hostname, and in all. One Mac exporting over
// and over cannot push out another Mac's manifests, and the whole store stays
// bounded (50 at the 8 MiB upload limit is 400 MiB).
export const KEEP_PER_HOSTNAME = 10;
export const KEEP_IN_ALL = 50;

// Where earlier releases of this Worker kept the single manifest.
const LEGACY_KV_KEY = "manifest";

export class ManifestStore extends DurableObject {
  #sql;

  constructor(ctx, env) {
    super(ctx, env);
    this.#sql = ctx.storage.sql;
    // Nothing is served until the tables exist and any manifest left by an
    // earlier release has been taken over, so the first listing already
    // shows it and an upload can never be ordered before it.
    ctx.blockConcurrencyWhile(() => this.#prepare());
  }

  async #prepare() {
    this.#sql.exec(`
      CREATE TABLE IF NOT EXISTS versions (
        seq INTEGER PRIMARY KEY AUTOINCREMENT,
        id TEXT NOT NULL UNIQUE,
        stored_at TEXT NOT NULL,
        hostname TEXT,
        apps INTEGER,
        bytes INTEGER NOT NULL
      );
      CREATE TABLE IF NOT EXISTS chunks (
        version_seq INTEGER NOT NULL,
        part INTEGER NOT NULL,
        data BLOB NOT NULL,
        PRIMARY KEY (version_seq, part)
      );
      CREATE TABLE IF NOT EXISTS settings (
        key TEXT PRIMARY KEY,
        value TEXT NOT NULL
      );
    `);
    if (this.#setting("legacy_kv_imported") === null) {
      await this.#importLegacyManifest();
    }
  }

  // Takes over the manifest an earlier release kept in the MANIFESTS KV
  // namespace, once. A KV read that fails throws, so the object starts over
  // on the next request and tries again rather than forget the old manifest.
  async #importLegacyManifest() {
    const kv = this.env.MANIFESTS;
    if (kv && typeof kv.getWithMetadata === "function") {
      const { value, metadata } = await kv.getWithMetadata(LEGACY_KV_KEY, { type: "arrayBuffer" });
      if (value !== null && value.byteLength > 0) {
        const body = new Uint8Array(value);
        const storedAt =
          metadata && typeof metadata.storedAt === "string" ? metadata.storedAt : new Date().toISOString();
        let summary = { hostname: null, apps: null };
        try {
          summary = summarizeManifest(JSON.parse(new TextDecoder().decode(body)));
        } catch {
          // Not readable JSON after all; keep it anyway, only without a summary.
        }
        this.ctx.storage.transactionSync(() => {
          this.#insertVersion(body, storedAt, summary);
          this.#setSetting("legacy_kv_imported", storedAt);
        });
        return;
      }
    }
    this.#setSetting("legacy_kv_imported", "none");
  }

  // Keeps `body` as the newest version and prunes what retention no longer
  // covers, all in one transaction.
  store(body, summary) {
    const storedAt = new Date().toISOString();
    const id = this.ctx.storage.transactionSync(() => {
      const newId = this.#insertVersion(body, storedAt, summary);
      this.#prune();
      return newId;
    });
    return { id, storedAt };
  }

  // The newest version's body as its pieces in order, or null when nothing
  // is stored.
  newest() {
    const row = this.#sql.exec("SELECT seq, bytes FROM versions ORDER BY seq DESC LIMIT 1").toArray()[0];
    return row === undefined ? null : this.#readBody(row);
  }

  version(id) {
    const row = this.#sql.exec("SELECT seq, bytes FROM versions WHERE id = ?", id).toArray()[0];
    return row === undefined ? null : this.#readBody(row);
  }

  // Newest first.
  list() {
    return this.#sql
      .exec("SELECT id, stored_at, hostname, apps, bytes FROM versions ORDER BY seq DESC")
      .toArray()
      .map((row) => ({
        id: row.id,
        storedAt: row.stored_at,
        hostname: row.hostname,
        apps: row.apps,
        bytes: row.bytes,
      }));
  }

  #insertVersion(body, storedAt, summary) {
    const id = crypto.randomUUID();
    const { seq } = this.#sql
      .exec(
        "INSERT INTO versions (id, stored_at, hostname, apps, bytes) VALUES (?, ?, ?, ?, ?) RETURNING seq",
        id,
        storedAt,
        summary.hostname,
        summary.apps,
        body.byteLength,
      )
      .one();
    for (let part = 0, offset = 0; offset < body.byteLength; part++, offset += CHUNK_BYTES) {
      this.#sql.exec(
        "INSERT INTO chunks (version_seq, part, data) VALUES (?, ?, ?)",
        seq,
        part,
        body.subarray(offset, offset + CHUNK_BYTES),
      );
    }
    return id;
  }

  #prune() {
    const perHostname = new Map();
    let kept = 0;
    const newestFirst = this.#sql.exec("SELECT seq, hostname FROM versions ORDER BY seq DESC").toArray();
    for (const { seq, hostname } of newestFirst) {
      const count = (perHostname.get(hostname) ?? 0) + 1;
      perHostname.set(hostname, count);
      if (count > KEEP_PER_HOSTNAME || kept >= KEEP_IN_ALL) {
        this.#sql.exec("DELETE FROM chunks WHERE version_seq = ?", seq);
        this.#sql.exec("DELETE FROM versions WHERE seq = ?", seq);
      } else {
        kept++;
      }
    }
  }

  // Reads every piece in one synchronous pass, so no upload or pruning can
  // slip in between two pieces.
  #readBody({ seq, bytes }) {
    const pieces = this.#sql
      .exec("SELECT data FROM chunks WHERE version_seq = ? ORDER BY part", seq)
      .toArray()
      .map((row) => row.data);
    const total = pieces.reduce((sum, piece) => sum + piece.byteLength, 0);
    if (total !== bytes) {
      throw new Error(`stored manifest ${seq} has ${total} bytes instead of ${bytes}`);
    }
    return pieces;
  }

  #setting(key) {
    const row = this.#sql.exec("SELECT value FROM settings WHERE key = ?", key).toArray()[0];
    return row === undefined ? null : row.value;
  }

  #setSetting(key, value) {
    this.#sql.exec("INSERT OR REPLACE INTO settings (key, value) VALUES (?, ?)", key, value);
  }
}

// Longest hostname kept for the listing; real ones are far shorter, and the
// manifest itself always keeps the full text.
const HOSTNAME_MAX_CHARS = 255;

// What the listing shows about a parsed manifest: its "hostname" text and how
// many "apps" it lists, each null when the document has no such member.
export function summarizeManifest(value) {
  if (value === null || typeof value !== "object" || Array.isArray(value)) {
    return { hostname: null, apps: null };
  }
  let hostname = typeof value.hostname === "string" ? value.hostname : null;
  if (hostname !== null && hostname.length > HOSTNAME_MAX_CHARS) {
    hostname = Array.from(hostname).slice(0, HOSTNAME_MAX_CHARS).join("");
  }
  const apps = Array.isArray(value.apps) ? value.apps.length : null;
  return { hostname, apps };
}
