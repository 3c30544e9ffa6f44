/*
 * The SHA-384/512 compression on AVX2, BMI1 and BMI2, for x86-64 with the System V calling
 * convention (GNU as, preprocessed):
 *
 *   void korvadex_sha512_compress_avx2(uint64_t state[8], const uint8_t* data, size_t blocks);
 *   void korvadex_sha512_compress_avx512vl(uint64_t state[8], const uint8_t* data,
 *                                          size_t blocks);
 *
 * compress `blocks` whole 128-byte blocks at data (no alignment needed) into state, as the
 * portable compression does.  The first needs AVX2, BMI1 and BMI2; the second, the same code
 * with the message schedule on AVX-512 VL instructions (256-bit registers only), AVX-512 F
 * and VL besides.  The caller checks.
 *
 * Blocks go in pairs.  The message schedule of both blocks of a pair is formed at once, each
 * 256-bit register holding two consecutive words of the first block in its low half and the
 * same words of the second block in its high half: in W[t] = sigma1(W[t-2]) + ... the words
 * t and t+1 depend only on earlier ones, so two words of two blocks make one vector.  The
 * words plus round constants of both blocks go to the stack, and the steps, on the scalar
 * registers, read them from there.  The vector work runs beside the steps: the schedule
 * beside the first block's, the next pair's first words beside the second block's.  A last
 * odd block is formed in both halves and only the first is used.
 *
 * The steps keep f ^ g and a ^ b from the step before: Ch(e, f, g) is g ^ (e & (f ^ g)), and
 * f ^ g is the e ^ f of the step before; Maj(a, b, c) is b ^ ((a ^ b) & (b ^ c)), and b ^ c
 * is the a ^ b of the step before.  T1 is summed from the terms ready first, Sigma1(e) last;
 * the next a as Maj + T1 + Sigma0(a).
 */

/* The working variables a..h live in these eight, renamed from step to step. */
#define R0 %rax
#define R1 %rbx
#define R2 %rcx
#define R3 %rdx
#define R4 %r8
#define R5 %r9
#define R6 %r10
#define R7 %r11
/* Temporaries of a step; f ^ g and a ^ b, each alternating between two registers. */
#define T1 %r12
#define T2 %r13
#define FG0 %r14
#define FG1 %r15
#define AB0 %rsi
#define AB1 %rdi
/* The first block of the next pair, during the second block's steps (the other's address
 * is in the frame). */
#define NEXT0 %rbp

/* The frame below the aligned stack pointer: words plus constants of steps t and t+1 (t
 * even) of both blocks at 32 * (t / 2), the first block's two then the second's; then the
 * arguments, the next pair's second block and the stack pointer at entry (after the
 * pushes). */
#define STATE 1280
#define DATA 1288
#define LEFT 1296
#define NEXT1 1304
#define SAVED 1312
#define FRAME 1344

/* Vector temporaries. */
#define V0 %ymm8
#define V1 %ymm9
#define V2 %ymm10
#define V3 %ymm11
#define V4 %ymm12
#define ROR8 %ymm13
#define KPAIR %ymm14
#define BSWAP %ymm15

        .text

/* The schedule: sigma0 and sigma1 with AVX-512VL's rotations and three-way exclusive-or where
 * the function is built for it (SCHEDULE_AVX512, set before each function), else with AVX2
 * shifts, a rotation by eight as a byte shuffle.  The vector instructions compete with the
 * steps for the processor's issue slots, so the fewer the better. */

/* The first half of forming words q and q + 1 (q = t + 16) in x0, which holds words t and
 * t + 1: x0 += W[t+9..t+10] + sigma0(W[t+1..t+2]). */
.macro SCHEDULE_A x0, x1, x4, x5
        vpalignr $8, \x0, \x1, V0
        vpalignr $8, \x4, \x5, V1
        vpaddq  V1, \x0, \x0
.if SCHEDULE_AVX512
        vprorq  $1, V0, V1
        vprorq  $8, V0, V2
        vpsrlq  $7, V0, V0
        vpternlogq $0x96, V2, V1, V0
        vpaddq  V0, \x0, \x0
.else
        vpsrlq  $1, V0, V1
        vpsllq  $63, V0, V2
        vpshufb ROR8, V0, V3
        vpsrlq  $7, V0, V0
        vpxor   V2, V1, V1
        vpxor   V0, V3, V3
        vpxor   V3, V1, V1
        vpaddq  V1, \x0, \x0
.endif
.endm

/* The second half: x0 += sigma1(W[t+14..t+15]), held in x7; then the words plus constants
 * of pair p (words 2p and 2p + 1) to the frame. */
.macro SCHEDULE_B x0, x7, p
.if SCHEDULE_AVX512
        vprorq  $19, \x7, V1
        vprorq  $61, \x7, V2
        vpsrlq  $6, \x7, V3
        vpternlogq $0x96, V2, V1, V3
        vpaddq  V3, \x0, \x0
.else
        vpsrlq  $19, \x7, V1
        vpsllq  $45, \x7, V2
        vpsrlq  $61, \x7, V3
        vpsllq  $3, \x7, V4
        vpsrlq  $6, \x7, V0
        vpxor   V2, V1, V1
        vpxor   V4, V3, V3
        vpxor   V0, V1, V1
        vpxor   V3, V1, V1
        vpaddq  V1, \x0, \x0
.endif
        vbroadcasti128 kSha512RoundConstants+16*(\p)(%rip), KPAIR
        vpaddq  KPAIR, \x0, V1
        vmovdqa V1, 32*(\p)(%rsp)
.endm

/* Words 2i and 2i + 1 of both blocks of the next pair, most significant byte first, to x;
 * they plus their constants to the frame. */
.macro LOAD_WORDS x, i
        mov     NEXT1(%rsp), T1
        vbroadcasti128 16*(\i)(NEXT0), \x
        vinserti128 $1, 16*(\i)(T1), \x, \x
        vpshufb BSWAP, \x, \x
        vbroadcasti128 kSha512RoundConstants+16*(\i)(%rip), KPAIR
        vpaddq  KPAIR, \x, V0
        vmovdqa V0, 32*(\i)(%rsp)
.endm

/* The vector work beside step t: with work 1 (a first block), for t < 64, half of the
 * schedule of pair t / 2 + 8 (x0..x7 name the registers of its window); with work 2 (a
 * second block), for t from 16 to 23, once the steps have read the frame's first words,
 * words t - 16 of the next pair (to xl). */
.macro WORK t, work, x0, x1, x4, x5, x7, xl
.if \work == 1 && (\t) < 64
.if ((\t)&1) == 0
        SCHEDULE_A \x0, \x1, \x4, \x5
.else
        SCHEDULE_B \x0, \x7, ((\t)>>1)+8
.endif
.endif
.if \work == 2 && (\t) >= 16 && (\t) < 24
        LOAD_WORDS \xl, (\t)-16
.endif
.endm

/* Step t of a block at offset blk (0 or 16) in the frame, with its vector work.  fgin holds
 * f ^ g, fgout receives e ^ f; abin holds b ^ c, about receives a ^ b. */
.macro STEP_WITH a, b, c, d, e, f, g, h, t, blk, work, x0, x1, x4, x5, x7, xl, fgin, fgout, abin, about
        add     32*((\t)>>1)+8*((\t)&1)+\blk(%rsp), \h
        rorx    $14, \e, T1
        and     \e, \fgin
        rorx    $18, \e, T2
        xor     \g, \fgin
        xor     T2, T1
        add     \h, \fgin
        rorx    $41, \e, T2
        xor     T2, T1
        mov     \a, \about
        add     T1, \fgin
        xor     \b, \about
        and     \about, \abin
        add     \fgin, \d
        WORK    \t, \work, \x0, \x1, \x4, \x5, \x7, \xl
        xor     \b, \abin
        mov     \e, \fgout
        add     \fgin, \abin
        rorx    $28, \a, T1
        xor     \f, \fgout
        rorx    $34, \a, T2
        xor     T2, T1
        rorx    $39, \a, T2
        xor     T2, T1
        lea     (\abin, T1), \h
.endm

/* Step t; a..h are its names. */
.macro STEP a, b, c, d, e, f, g, h, t, blk, work, x0, x1, x4, x5, x7, xl
.if ((\t)&1) == 0
        STEP_WITH \a, \b, \c, \d, \e, \f, \g, \h, \t, \blk, \work, \x0, \x1, \x4, \x5, \x7, \xl, FG0, FG1, AB0, AB1
.else
        STEP_WITH \a, \b, \c, \d, \e, \f, \g, \h, \t, \blk, \work, \x0, \x1, \x4, \x5, \x7, \xl, FG1, FG0, AB1, AB0
.endif
.endm

/* Steps base to base + 15 (base a multiple of 16). */
.macro STEPS16 base, blk, work
        STEP R0, R1, R2, R3, R4, R5, R6, R7, \base+0, \blk, \work, %ymm0, %ymm1, %ymm4, %ymm5, %ymm7, %ymm0
        STEP R7, R0, R1, R2, R3, R4, R5, R6, \base+1, \blk, \work, %ymm0, %ymm1, %ymm4, %ymm5, %ymm7, %ymm1
        STEP R6, R7, R0, R1, R2, R3, R4, R5, \base+2, \blk, \work, %ymm1, %ymm2, %ymm5, %ymm6, %ymm0, %ymm2
        STEP R5, R6, R7, R0, R1, R2, R3, R4, \base+3, \blk, \work, %ymm1, %ymm2, %ymm5, %ymm6, %ymm0, %ymm3
        STEP R4, R5, R6, R7, R0, R1, R2, R3, \base+4, \blk, \work, %ymm2, %ymm3, %ymm6, %ymm7, %ymm1, %ymm4
        STEP R3, R4, R5, R6, R7, R0, R1, R2, \base+5, \blk, \work, %ymm2, %ymm3, %ymm6, %ymm7, %ymm1, %ymm5
        STEP R2, R3, R4, R5, R6, R7, R0, R1, \base+6, \blk, \work, %ymm3, %ymm4, %ymm7, %ymm0, %ymm2, %ymm6
        STEP R1, R2, R3, R4, R5, R6, R7, R0, \base+7, \blk, \work, %ymm3, %ymm4, %ymm7, %ymm0, %ymm2, %ymm7
        STEP R0, R1, R2, R3, R4, R5, R6, R7, \base+8, \blk, \work, %ymm4, %ymm5, %ymm0, %ymm1, %ymm3, %ymm0
        STEP R7, R0, R1, R2, R3, R4, R5, R6, \base+9, \blk, \work, %ymm4, %ymm5, %ymm0, %ymm1, %ymm3, %ymm1
        STEP R6, R7, R0, R1, R2, R3, R4, R5, \base+10, \blk, \work, %ymm5, %ymm6, %ymm1, %ymm2, %ymm4, %ymm2
        STEP R5, R6, R7, R0, R1, R2, R3, R4, \base+11, \blk, \work, %ymm5, %ymm6, %ymm1, %ymm2, %ymm4, %ymm3
        STEP R4, R5, R6, R7, R0, R1, R2, R3, \base+12, \blk, \work, %ymm6, %ymm7, %ymm2, %ymm3, %ymm5, %ymm4
        STEP R3, R4, R5, R6, R7, R0, R1, R2, \base+13, \blk, \work, %ymm6, %ymm7, %ymm2, %ymm3, %ymm5, %ymm5
        STEP R2, R3, R4, R5, R6, R7, R0, R1, \base+14, \blk, \work, %ymm7, %ymm0, %ymm3, %ymm4, %ymm6, %ymm6
        STEP R1, R2, R3, R4, R5, R6, R7, R0, \base+15, \blk, \work, %ymm7, %ymm0, %ymm3, %ymm4, %ymm6, %ymm7
.endm

/* The 80 steps of one block, and the block's result added into the state. */
.macro BLOCK blk, work
        mov     R1, AB0
        xor     R2, AB0
        mov     R5, FG0
        xor     R6, FG0
        STEPS16 0, \blk, \work
        STEPS16 16, \blk, \work
        STEPS16 32, \blk, \work
        STEPS16 48, \blk, \work
        STEPS16 64, \blk, \work
        mov     STATE(%rsp), T1
        add     0(T1), R0
        add     8(T1), R1
        add     16(T1), R2
        add     24(T1), R3
        add     32(T1), R4
        add     40(T1), R5
        add     48(T1), R6
        add     56(T1), R7
        mov     R0, 0(T1)
        mov     R1, 8(T1)
        mov     R2, 16(T1)
        mov     R3, 24(T1)
        mov     R4, 32(T1)
        mov     R5, 40(T1)
        mov     R6, 48(T1)
        mov     R7, 56(T1)
.endm

/* The function `name`, its schedule as SCHEDULE_AVX512 says. */
.macro COMPRESS name
        .globl  \name
        .hidden \name
        .type   \name, @function
        .p2align 6
\name:
        .cfi_startproc
        test    %rdx, %rdx
        jz      .Lnothing_\name
        push    %rbp
        .cfi_adjust_cfa_offset 8
        .cfi_offset %rbp, -16
        push    %rbx
        .cfi_adjust_cfa_offset 8
        .cfi_offset %rbx, -24
        push    %r12
        .cfi_adjust_cfa_offset 8
        .cfi_offset %r12, -32
        push    %r13
        .cfi_adjust_cfa_offset 8
        .cfi_offset %r13, -40
        push    %r14
        .cfi_adjust_cfa_offset 8
        .cfi_offset %r14, -48
        push    %r15
        .cfi_adjust_cfa_offset 8
        .cfi_offset %r15, -56
        mov     %rsp, %rax
        sub     $FRAME, %rsp
        and     $-64, %rsp
        mov     %rax, SAVED(%rsp)
        /* The frame address is the saved stack pointer plus 56. */
        .cfi_escape 0x0f, 0x06, 0x77, 0xa0, 0x0a, 0x06, 0x23, 0x38
        mov     %rdi, STATE(%rsp)
        mov     %rsi, DATA(%rsp)
        mov     %rdx, LEFT(%rsp)
        vmovdqa .Lbyte_swap(%rip), BSWAP
.if SCHEDULE_AVX512 == 0
        vmovdqa .Lrotate_8(%rip), ROR8
.endif

        /* The first pair's first sixteen words (the first block twice if it is the last);
         * those of each later pair are read during the pair before. */
        mov     %rsi, NEXT0
        lea     128(%rsi), %rax
        cmp     $2, %rdx
        cmovb   %rsi, %rax
        mov     %rax, NEXT1(%rsp)
.irp i, 0, 1, 2, 3, 4, 5, 6, 7
        LOAD_WORDS %ymm\i, \i
.endr
        mov     0(%rdi), R0
        mov     8(%rdi), R1
        mov     16(%rdi), R2
        mov     24(%rdi), R3
        mov     32(%rdi), R4
        mov     40(%rdi), R5
        mov     48(%rdi), R6
        mov     56(%rdi), R7

.Lpair_\name:
        BLOCK   0, 1
        mov     LEFT(%rsp), T1
        cmp     $2, T1
        jb      .Ldone_\name
        /* The next pair's blocks: the second is the first if that is the last; where there
         * is none, those of this pair, read and not used. */
        mov     DATA(%rsp), T2
        lea     256(T2), NEXT0
        lea     384(T2), %rsi
        cmp     $3, T1
        cmovbe  NEXT0, %rsi
        cmp     $2, T1
        cmove   T2, NEXT0
        cmove   T2, %rsi
        mov     %rsi, NEXT1(%rsp)
        BLOCK   16, 2
        addq    $256, DATA(%rsp)
        subq    $2, LEFT(%rsp)
        jnz     .Lpair_\name

.Ldone_\name:
        vzeroupper
        mov     SAVED(%rsp), %rsp
        .cfi_def_cfa %rsp, 56
        pop     %r15
        .cfi_adjust_cfa_offset -8
        pop     %r14
        .cfi_adjust_cfa_offset -8
        pop     %r13
        .cfi_adjust_cfa_offset -8
        pop     %r12
        .cfi_adjust_cfa_offset -8
        pop     %rbx
        .cfi_adjust_cfa_offset -8
        pop     %rbp
        .cfi_adjust_cfa_offset -8
.Lnothing_\name:
        ret
        .cfi_endproc
        .size   \name, .-\name

.endm

/* For processors with AVX2, BMI1 and BMI2. */
        .set    SCHEDULE_AVX512, 0
        COMPRESS korvadex_sha512_compress_avx2
/* For those with AVX-512 F and VL as well. */
        .set    SCHEDULE_AVX512, 1
        COMPRESS korvadex_sha512_compress_avx512vl

        .section .rodata
        .p2align 5
/* vpshufb: each 64-bit word's bytes reversed, in both halves. */
.Lbyte_swap:
        .byte   7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8
        .byte   7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8
/* vpshufb: each 64-bit word rotated right by eight bits, in both halves. */
.Lrotate_8:
        .byte   1, 2, 3, 4, 5, 6, 7, 0, 9, 10, 11, 12, 13, 14, 15, 8
        .byte   1, 2, 3, 4, 5, 6, 7, 0, 9, 10, 11, 12, 13, 14, 15, 8

        .section .note.GNU-stack, "", @progbits
