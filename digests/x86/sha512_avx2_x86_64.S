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
 * registers, read them from there.  The schedule is formed beside the first block's steps;
 * the next pair's first words are read after the second block's first sixteen steps.  A
 * last odd block is formed in both halves and only the first is used.
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
/* The steps' place in the frame, in 128s for each sixteen steps, plus 8 in the second block
 * (scaled by two: the 256 bytes of each sixteen steps' words, and the second block's at 16
 * more); for the first block, also the place in the round constants of the words it forms. */
#define AT %rbp

/* The frame below the aligned stack pointer: words plus constants of steps t and t+1 (t
 * even) of both blocks at 32 * (t / 2), the first block's two then the second's; then the
 * arguments, the next pair's two blocks, the stack pointer at entry (after the pushes) and
 * a copy of the round constants. */
#define STATE 1280
#define DATA 1288
#define LEFT 1296
#define NEXT1 1304
#define SAVED 1312
#define NEXT0 1320
/* The round constants, copied at the start of each call, where the schedule's loop reaches
 * them with the frame's index. */
#define CONSTANTS 1344
#define FRAME 1984

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
        vbroadcasti128 CONSTANTS+16*(\p)(%rsp, AT), KPAIR
        vpaddq  KPAIR, \x0, V1
        vmovdqa V1, 32*(\p)(%rsp, AT, 2)
.endm

/* The sixteen words of both blocks of the next pair, the first block's at b0 and the
 * second's at b1, most significant byte first, to ymm0..ymm7, two words of each block to a
 * register; they plus their constants to the frame. */
.macro LOAD_WORDS b0, b1
.irp i, 0, 1, 2, 3, 4, 5, 6, 7
        vbroadcasti128 16*\i(\b0), %ymm\i
        vinserti128 $1, 16*\i(\b1), %ymm\i, %ymm\i
        vpshufb BSWAP, %ymm\i, %ymm\i
        vbroadcasti128 kSha512RoundConstants+16*\i(%rip), KPAIR
        vpaddq  KPAIR, %ymm\i, V0
        vmovdqa V0, 32*\i(%rsp)
.endr
.endm

/* The vector work beside step t of sixteen: with work 1 (the first block's steps 0 to
 * 63), half of the schedule of pair t / 2 + 8 after them (x0..x7 name the registers of its
 * window). */
.macro WORK t, work, x0, x1, x4, x5, x7
.if \work == 1
.if ((\t)&1) == 0
        SCHEDULE_A \x0, \x1, \x4, \x5
.else
        SCHEDULE_B \x0, \x7, ((\t)>>1)+8
.endif
.endif
.endm

/* Step t of sixteen, with its vector work; its words plus constants are at AT in the
 * frame.  fgin holds f ^ g, fgout receives e ^ f; abin holds b ^ c, about receives a ^ b. */
.macro STEP_WITH a, b, c, d, e, f, g, h, t, work, x0, x1, x4, x5, x7, fgin, fgout, abin, about
        add     32*((\t)>>1)+8*((\t)&1)(%rsp, AT, 2), \h
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
        WORK    \t, \work, \x0, \x1, \x4, \x5, \x7
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

/* Step t of sixteen; a..h are its names. */
.macro STEP a, b, c, d, e, f, g, h, t, work, x0, x1, x4, x5, x7
.if ((\t)&1) == 0
        STEP_WITH \a, \b, \c, \d, \e, \f, \g, \h, \t, \work, \x0, \x1, \x4, \x5, \x7, FG0, FG1, AB0, AB1
.else
        STEP_WITH \a, \b, \c, \d, \e, \f, \g, \h, \t, \work, \x0, \x1, \x4, \x5, \x7, FG1, FG0, AB1, AB0
.endif
.endm

/* Sixteen steps at AT: after them every name stands where it stood before, so that the
 * same code serves every sixteen. */
.macro STEPS16 work
        STEP R0, R1, R2, R3, R4, R5, R6, R7, 0, \work, %ymm0, %ymm1, %ymm4, %ymm5, %ymm7
        STEP R7, R0, R1, R2, R3, R4, R5, R6, 1, \work, %ymm0, %ymm1, %ymm4, %ymm5, %ymm7
        STEP R6, R7, R0, R1, R2, R3, R4, R5, 2, \work, %ymm1, %ymm2, %ymm5, %ymm6, %ymm0
        STEP R5, R6, R7, R0, R1, R2, R3, R4, 3, \work, %ymm1, %ymm2, %ymm5, %ymm6, %ymm0
        STEP R4, R5, R6, R7, R0, R1, R2, R3, 4, \work, %ymm2, %ymm3, %ymm6, %ymm7, %ymm1
        STEP R3, R4, R5, R6, R7, R0, R1, R2, 5, \work, %ymm2, %ymm3, %ymm6, %ymm7, %ymm1
        STEP R2, R3, R4, R5, R6, R7, R0, R1, 6, \work, %ymm3, %ymm4, %ymm7, %ymm0, %ymm2
        STEP R1, R2, R3, R4, R5, R6, R7, R0, 7, \work, %ymm3, %ymm4, %ymm7, %ymm0, %ymm2
        STEP R0, R1, R2, R3, R4, R5, R6, R7, 8, \work, %ymm4, %ymm5, %ymm0, %ymm1, %ymm3
        STEP R7, R0, R1, R2, R3, R4, R5, R6, 9, \work, %ymm4, %ymm5, %ymm0, %ymm1, %ymm3
        STEP R6, R7, R0, R1, R2, R3, R4, R5, 10, \work, %ymm5, %ymm6, %ymm1, %ymm2, %ymm4
        STEP R5, R6, R7, R0, R1, R2, R3, R4, 11, \work, %ymm5, %ymm6, %ymm1, %ymm2, %ymm4
        STEP R4, R5, R6, R7, R0, R1, R2, R3, 12, \work, %ymm6, %ymm7, %ymm2, %ymm3, %ymm5
        STEP R3, R4, R5, R6, R7, R0, R1, R2, 13, \work, %ymm6, %ymm7, %ymm2, %ymm3, %ymm5
        STEP R2, R3, R4, R5, R6, R7, R0, R1, 14, \work, %ymm7, %ymm0, %ymm3, %ymm4, %ymm6
        STEP R1, R2, R3, R4, R5, R6, R7, R0, 15, \work, %ymm7, %ymm0, %ymm3, %ymm4, %ymm6
.endm

/* f ^ g and b ^ c for a block's first step. */
.macro START_BLOCK
        mov     R1, AB0
        xor     R2, AB0
        mov     R5, FG0
        xor     R6, FG0
.endm

/* The block's result added into the state. */
.macro ADD_STATE
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
.irp i, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19
        vmovdqu kSha512RoundConstants+32*\i(%rip), V0
        vmovdqa V0, CONSTANTS+32*\i(%rsp)
.endr
        vmovdqa .Lbyte_swap(%rip), BSWAP
.if SCHEDULE_AVX512 == 0
        vmovdqa .Lrotate_8(%rip), ROR8
.endif

        /* The first pair's first sixteen words (the first block twice if it is the last);
         * those of each later pair are read during the pair before. */
        lea     128(%rsi), %rax
        cmp     $2, %rdx
        cmovb   %rsi, %rax
        LOAD_WORDS %rsi, %rax
        mov     0(%rdi), R0
        mov     8(%rdi), R1
        mov     16(%rdi), R2
        mov     24(%rdi), R3
        mov     32(%rdi), R4
        mov     40(%rdi), R5
        mov     48(%rdi), R6
        mov     56(%rdi), R7

        /* Each sixteen steps are one turn of a loop (the whole of them unrolled is code
         * enough to crowd the processor's caches of decoded instructions, which short
         * messages pay for): steps 0 to 63 of a pair's first block with its schedule beside
         * them, then its last sixteen and every sixteen of the second block in the other
         * loop, whose second turn in the second block reads the next pair's words first. */
.Lpair_\name:
        START_BLOCK
        xor     %ebp, %ebp
.Lschedule_\name:
        STEPS16 1
        add     $128, AT
        cmp     $512, AT
        jb      .Lschedule_\name
.Lsteps_\name:
        cmp     $136, AT
        jne     .Lno_words_\name
        mov     NEXT0(%rsp), T1
        mov     NEXT1(%rsp), T2
        LOAD_WORDS T1, T2
.Lno_words_\name:
        STEPS16 0
        add     $128, AT
        cmp     $640, AT
        jb      .Lsteps_\name
        ADD_STATE
        test    $8, AT
        jnz     .Lsecond_\name
        mov     LEFT(%rsp), T1
        cmp     $2, T1
        jb      .Ldone_\name
        /* The next pair's blocks: the second is the first if that is the last; where there
         * is none, those of this pair, read and not used. */
        mov     DATA(%rsp), T2
        lea     256(T2), %rbp
        lea     384(T2), %rsi
        cmp     $3, T1
        cmovbe  %rbp, %rsi
        cmp     $2, T1
        cmove   T2, %rbp
        cmove   T2, %rsi
        mov     %rbp, NEXT0(%rsp)
        mov     %rsi, NEXT1(%rsp)
        START_BLOCK
        mov     $8, %ebp
        jmp     .Lsteps_\name
.Lsecond_\name:
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
