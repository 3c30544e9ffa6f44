/** Bytes of a key or a message: a string is taken as its UTF-8 bytes. */
export type Bytes = string | ArrayBuffer | ArrayBufferView;

export interface LineInfo {
  /** The line's label in the report, e.g. "SHA256" or "HAVAL 128 (3 Rounds)". */
  readonly label: string;
  /** The other names the line answers to, e.g. "sha256" or "haval128,3". */
  readonly names: readonly string[];
  /** The digest size in bytes. */
  readonly digestSize: number;
}

/** Every line of the report, in report order; filled once `ready` has resolved. */
export const lines: readonly LineInfo[];

/** Resolves once the WebAssembly module is loaded; await it once before createHash. */
export const ready: Promise<void>;

export interface HashOptions {
  /** A key: the digest is the HMAC (RFC 2104) of the line's algorithm. */
  key?: Bytes;
}

export interface Hash {
  /** Takes in the next bytes; returns the hash itself. */
  update(data: Bytes): Hash;
  /** The digest, once; with 'hex', as lower-case hex. */
  digest(): Uint8Array;
  digest(encoding: 'hex'): string;
}

/** A computation of the line of that name (any name the command line takes with -a). */
export function createHash(name: string, options?: HashOptions): Hash;

/** A Node readable stream, or any async iterable of byte chunks. */
export type ChunkIterable = AsyncIterable<Uint8Array | ArrayBuffer | ArrayBufferView | string>;

export type ReportSource = string | Blob | ReadableStream<Uint8Array> | ChunkIterable;

export interface ReportOptions {
  /** A key: every line is the HMAC of its algorithm. */
  key?: Bytes;
  /** The lines to compute, by name; every line when left out. */
  lines?: readonly string[];
}

/**
 * The report of a file path (Node), a Blob, a Node stream or a web ReadableStream: the text
 * the command line prints, one line per digest, its label and its upper-case hex.
 */
export function report(source: ReportSource, options?: ReportOptions): Promise<string>;
