#pragma once

/**
 * Asks the C library to keep the memory of large freed buffers for the next
 * ones rather than give it back to the system at once. Decoding a folder of
 * photographs takes and frees buffers of tens of megabytes per picture; by
 * default each is mapped afresh, and the kernel's zeroing of those pages
 * cost a fifth of a gallery run's processor time. Peak memory stays what the
 * decode budget allows. Call once, before threads start. Where the C library
 * has no such setting it does nothing.
 */
void keepLargeBuffers();

/**
 * Gives the system back what the C library keeps of freed buffers, in every
 * thread's pool. A clip's decoders and encoder take and free buffers of a
 * hundred sizes, which the pools would keep beside the next clip's; called
 * once a clip's work is done, it costs a few milliseconds.
 */
void giveBackFreedMemory();
