// The few places where the engines tell the compiler more than the language can: one
// spelling each, and why each exists.  Every hint is optional; a compiler without them
// builds the same results.  The per-file option that turns off GCC's straight-line
// vectorizer for Snefru is set in CMakeLists.txt, beside its reason.  An unroll count
// (`#pragma GCC unroll`) is a fact of one loop and stands at that loop with its reason.
#ifndef KORVADEX_DIGESTS_COMPILER_HINTS_H
#define KORVADEX_DIGESTS_COMPILER_HINTS_H

// Inline this function whatever the compiler's own limits say.  For the step functions of
// engines whose working words must stay in registers across all the steps of a
// compression: the steps are only that when they are all inlined into one function, and
// the compiler's growth limits stop short of inlining dozens of them.
#if defined(__GNUC__)
#define KORVADEX_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define KORVADEX_ALWAYS_INLINE inline
#endif

// Compile this function for the instruction-set extensions named in the string (GCC's
// target names, comma-separated, e.g. "sha,sse4.1"), and inline it as
// KORVADEX_ALWAYS_INLINE does.  For the pieces of a compression that uses extensions the
// rest of the build does not assume: only a function compiled for them may use their
// instructions, and such a function can be inlined only into one compiled for them too.
// The compression's entry, called from code built for the baseline only after a check of
// the processor, carries the bare target attribute, `[[gnu::target(...)]]`.
#if defined(__GNUC__)
#define KORVADEX_TARGET_INLINE(extensions) [[gnu::target(extensions), gnu::always_inline]] inline
#else
#define KORVADEX_TARGET_INLINE(extensions) inline
#endif

// Keep this function out of line.  For a compression whose working words the compiler
// places better in a function of its own than inside its caller's loop over the blocks,
// where the caller's pointers and counts compete with them for registers.
#if defined(__GNUC__)
#define KORVADEX_NEVER_INLINE [[gnu::noinline]]
#else
#define KORVADEX_NEVER_INLINE
#endif

// Says that value may have changed, in the register it is in.  The compiler then cannot
// narrow the operations that follow to fewer bits than value has (which would need a zero
// extension on a dependency chain later) or fold value into something it knew before.
// Costs no instruction.
template <typename T>
inline void KeepInRegister(T& value) {
#if defined(__GNUC__)
    __asm__("" : "+r"(value));
#else
    (void)value;
#endif
}

// Says that object may have changed in memory.  Values the compiler kept in registers
// after storing them into object are then dead, and the code that follows reads them back
// from object: where registers are short, that is cheaper than keeping them live, which
// makes the compiler spill each one beside its store.  Costs no instruction.
template <typename T>
inline void ForgetRegisterCopies(T& object) {
#if defined(__GNUC__)
    __asm__("" : "+m"(object));
#else
    (void)object;
#endif
}

// Says that the memory p points into is read after this point, so that stores into it
// just before (a wipe of working state, which nothing reads afterwards) are not removed as
// dead by the optimiser.
inline void KeepStores(const void* p) {
#if defined(__GNUC__)
    __asm__ __volatile__("" : : "r"(p) : "memory");
#else
    (void)p;
#endif
}

#endif
