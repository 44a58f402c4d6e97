// Shared by the test files: a Worker per group of tests and a look straight
// into its store, past the HTTP routes under test.

import { after, before } from "node:test";
import { STORE_BINDING, startLocalWorker } from "../scripts/local-worker.mjs";

export const TOKEN = "S3cret-Token_4f9c2a";
export const AUTH = { Authorization: `Bearer ${TOKEN}` };

// Starts a Worker before the enclosing describe block and stops it after.
export function useWorker(options = {}) {
  const ctx = {};
  before(async () => {
    Object.assign(ctx, await startLocalWorker({ quiet: true, token: TOKEN, ...options }));
  });
  after(async () => {
    await ctx.mf?.dispose();
  });
  return ctx;
}

// The versions the store holds, newest first, read through the object's own
// interface. The Worker keeps everything in the object named "manifests".
export async function storedVersions(mf) {
  const namespace = await mf.getDurableObjectNamespace(STORE_BINDING);
  return namespace.get(namespace.idFromName("manifests")).list();
}

export async function upload(url, body, path = "/manifest") {
  const res = await fetch(url + path, {
    method: "PUT",
    headers: { ...AUTH, "Content-Type": "application/json" },
    body,
  });
  const text = await res.text();
  if (res.status !== 200) {
    throw new Error(`PUT ${path} answered ${res.status}: ${text}`);
  }
  return JSON.parse(text).storedAt;
}

// Status and body bytes of an authorized GET.
export async function download(url, path) {
  const res = await fetch(url + path, { headers: AUTH });
  return { status: res.status, body: Buffer.from(await res.arrayBuffer()) };
}

export async function listing(url, path = "/manifests") {
  const { status, body } = await download(url, path);
  if (status !== 200) {
    throw new Error(`GET ${path} answered ${status}: ${body}`);
  }
  return JSON.parse(body.toString("utf8")).manifests;
}
