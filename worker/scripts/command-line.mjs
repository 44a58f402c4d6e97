// What the local servers share as command-line programs: their options read strictly, with the
// usage on standard error and exit status 2 for a mistake, and one way to be told to stop.

import { parseArgs } from "node:util";

// The options of `argv` as parseArgs gives them, `--help` answered. `name` starts every message.
export function readOptions(name, usage, options, argv = process.argv.slice(2)) {
  const fail = (message) => failWithUsage(name, usage, message);
  let values;
  try {
    ({ values } = parseArgs({
      args: argv,
      options: { ...options, help: { type: "boolean", short: "h" } },
      strict: true,
      allowPositionals: false,
    }));
  } catch (err) {
    fail(err.message);
  }
  if (values.help) {
    process.stderr.write(usage);
    process.exit(0);
  }
  return { values, fail };
}

export function failWithUsage(name, usage, message) {
  process.stderr.write(`${name}: ${message}\n\n${usage}`);
  process.exit(2);
}

// A whole number between `min` and `max` written in decimal digits only.
export function wholeNumber(fail, option, raw, min, max) {
  if (!/^\d+$/.test(raw)) {
    fail(`${option} must be a whole number, got "${raw}"`);
  }
  const value = Number(raw);
  if (value < min || value > max) {
    fail(`${option} must be between ${min} and ${max}, got ${raw}`);
  }
  return value;
}

// Calls `stop` with the reason on SIGTERM or SIGINT, and when the caller has gone: a test harness
// that crashes cannot send a signal, and noticing the new parent stops the server anyway instead of
// leaving it running forever. Standard output may be a pipe whose reader went away; that must neither
// crash the server nor turn a clean shutdown into a failure.
export function stopWhenAsked(stop) {
  process.stdout.on("error", () => {});
  for (const signal of ["SIGTERM", "SIGINT"]) {
    process.on(signal, () => stop(signal));
  }
  const originalParent = process.ppid;
  setInterval(() => {
    if (process.ppid !== originalParent) {
      stop("parent exit");
    }
  }, 1000).unref();
}
