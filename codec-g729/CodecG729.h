/* CodecG729: G.729 speech coding for the Talvenor module, loaded at start-up
 * with dlopen. Built on bcg729.
 *
 * Each direction of each call keeps an int that the caller owns and passes
 * by address on every call. The caller sets it to 1 before the first use
 * and never touches it again; the library keeps its own mark there. An int
 * that reads 1 starts a fresh codec context, so a caller that reuses an
 * address for a new call, or sets the int back to 1, gets a clean codec.
 * There is no call to release a context: the library keeps a bounded number
 * of them (least recently used first out), so a host that makes call after
 * call does not grow. A context evicted while its int is still in use is
 * started afresh at its next call. Unloading the library frees every
 * context; a call that comes after that (during process exit) returns 0.
 *
 * The functions may be called from any thread; calls on one int must not
 * overlap. */
#ifndef CODEC_G729_H
#define CODEC_G729_H

#ifdef __cplusplus
extern "C" {
#endif

/* Encodes the samples (16-bit, 8000 per second) 80 at a time: 10 payload
 * bytes for every whole 160 input bytes, the rest ignored. `payload` must
 * hold byteCount / 16 bytes. Returns the payload bytes written; 0 for none
 * (fewer than 160 input bytes, a null pointer, or no memory). */
int EncodeG729(int* state, unsigned char* payload, const short* samples, int byteCount);
typedef int (*EncodeG729Function)(int* state, unsigned char* payload, const short* samples, int byteCount);

/* Decodes 10-byte frames, and a trailing 2-byte comfort-noise frame, while
 * 160 bytes of output remain within `capacity` (bytes). Returns the sample
 * bytes written; 0 for none. */
int DecodeG729(int* state, short* samples, int capacity, const unsigned char* payload, int length);
typedef int (*DecodeG729Function)(int* state, short* samples, int capacity, const unsigned char* payload,
                                  int length);

/* Optional. Makes up `capacity` / 160 frames of 10 ms (at most) from the
 * decoder's own state for frames that never arrived, as G.729's frame
 * erasure does. Returns the sample bytes written; 0 for none. A library
 * without it leaves the making-up to the module. */
int ConcealG729(int* state, short* samples, int capacity);
typedef int (*ConcealG729Function)(int* state, short* samples, int capacity);

#ifdef __cplusplus
}
#endif

#endif
