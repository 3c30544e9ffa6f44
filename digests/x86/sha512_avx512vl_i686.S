/*
 * The SHA-384/512 compression on AVX-512 F, BW and VL for 32-bit x86 (cdecl, GNU as,
 * preprocessed):
 *
 *   size_t korvadex_sha512_compress_groups_i686(uint64_t state[8], const uint8_t* data,
 *                                               size_t blocks);
 *
 * compresses the blocks at data (no alignment needed) into state, as the portable
 * compression does, in groups of eight, the last group four to eight blocks long, and
 * returns how many blocks it left at the end (all of them where there are fewer than four;
 * else fewer than four), which the caller compresses one at a time.  The caller checks
 * that the processor has AVX-512 F, BW and VL.
 *
 * The message schedule runs for a group of eight blocks at once, one block to each 64-bit
 * lane (the word of four blocks in each half of a 512-bit row); each group's words plus
 * round constants go to the frame, and the schedule of the next group is formed beside the
 * steps of the current one, half a word (four blocks, one 256-bit register) every four
 * steps, so that its rotations never take the rotation units from the steps for long.  The
 * steps work on 64-bit words in the low halves of 128-bit registers (the high halves are
 * don't-care): the newest a and e and the two before them (b and f) in registers, c, d, g
 * and h read as memory operands from slots that the steps store each new a and e to, so
 * that the eight registers hold the temporaries without spills.  The new e is
 * ((h + kw + Ch) + d) + Sigma1, so that it waits on the e before only through Sigma1 and one
 * addition, the new a ((h + kw + Ch) + Maj) + Sigma1 + Sigma0.  A three-input logic
 * instruction passes its first operand (the one it overwrites) on a cycle sooner than the
 * other two on this kind of processor (AMD Zen 4): each one takes the input that comes last
 * there, a copy of e in Ch, of a in Maj, the last rotation in each Sigma.
 */

#define SYMBOL_CONCAT(prefix, name) prefix##name
#define SYMBOL_EXPAND(prefix, name) SYMBOL_CONCAT(prefix, name)
#define SYMBOL(name) SYMBOL_EXPAND(__USER_LABEL_PREFIX__, name)

/* The frame, 64-byte aligned: two sets of the working variables' slots (16 bytes each: slot
 * i of a holds the a made by the step four before the next one to read it, likewise for e;
 * the steps reach them from %ebp, 128 bytes into a set, with one-byte displacements; the
 * blocks take the sets in turn, so that each block's chaining value goes to the next one's
 * set during its last steps, and the next block does not start by waiting on stores just
 * made), the gather offsets of the group being formed, a few words, the words plus
 * constants of two groups (t, block j at 64 * t + 8 * j) and the raw words of the group
 * being formed (word t at 64 * t). */
#define ASLOT 0
#define ESLOT 128
#define OFFSETS 512
#define DATA 580
#define LEFT 584
#define COUNT 588
#define NEXTCOUNT 592
#define BLOCKEND 596
#define GROUPEND 600
#define CURRENT 604
#define SAVED 608
#define OTHER 612
#define WK0 640
#define WK1 5760
#define WORDS 10880
#define FRAME 16000
#define PAGES 4

#define T0 %xmm4
#define T1 %xmm5
#define T2 %xmm6
#define T3 %xmm7

        .text

/* Step t (i = t mod 8) over the block whose words plus constants are at %esi; a, b, e and
 * f name its registers.  The new e goes to f's register and the new a to b's. */
.macro STEP i, t, a, b, e, f
        vmovq   64*(\t)(%esi), T0
        vpaddq  ESLOT-128+16*(\i)(%ebp), T0, T0
        vmovdqa \e, T1
        vpternlogq $0xCA, ESLOT-128+16*(((\i)+1)&7)(%ebp), \f, T1
        vpaddq  T1, T0, T0
        vprorq  $14, \e, T2
        vprorq  $18, \e, T3
        vprorq  $41, \e, T1
        vpternlogq $0x96, T3, T2, T1
        vpaddq  ASLOT-128+16*(\i)(%ebp), T0, T2
        vpaddq  T1, T2, \f
        vmovdqa \a, T2
        vpternlogq $0xE8, ASLOT-128+16*(((\i)+1)&7)(%ebp), \b, T2
        vpaddq  T2, T0, T0
        vpaddq  T1, T0, T0
        vprorq  $28, \a, T2
        vprorq  $34, \a, T3
        vprorq  $39, \a, T1
        vpternlogq $0x96, T3, T2, T1
        vpaddq  T1, T0, \b
        vmovdqa \f, ESLOT-128+16*(((\i)+4)&7)(%ebp)
        vmovdqa \b, ASLOT-128+16*(((\i)+4)&7)(%ebp)
.endm

/* Eight steps; the registers' roles swap after each step and are back after eight.  Where
 * a next group is being formed (%ebx not zero), the two halves of its next word go before
 * the first and the fifth step.  In the last eight of a block (last = 1), the chaining value
 * goes to the other set of slots as the working variables take their last values. */
.macro STEPS8 last=0
        test    %ebx, %ebx
        jz      73f
        SCHEDULE_HALF 0
73:
        STEP    0, 0, %xmm0, %xmm1, %xmm2, %xmm3
        STEP    1, 1, %xmm1, %xmm0, %xmm3, %xmm2
        STEP    2, 2, %xmm0, %xmm1, %xmm2, %xmm3
        STEP    3, 3, %xmm1, %xmm0, %xmm3, %xmm2
        test    %ebx, %ebx
        jz      74f
        SCHEDULE_HALF 1
74:
        STEP    4, 4, %xmm0, %xmm1, %xmm2, %xmm3
.if \last
        NEXT_SLOT 3, 0, 1
        NEXT_SLOT 7, 0, 1
.endif
        STEP    5, 5, %xmm1, %xmm0, %xmm3, %xmm2
.if \last
        NEXT_SLOT 2, 1, 1
        NEXT_SLOT 6, 1, 1
.endif
        STEP    6, 6, %xmm0, %xmm1, %xmm2, %xmm3
.if \last
        NEXT_SLOT 1, 2, 0
        NEXT_SLOT 5, 2, 0
.endif
        STEP    7, 7, %xmm1, %xmm0, %xmm3, %xmm2
.endm

/* Word t of the group being formed, t = %ecx / 8, its blocks at %edx and its words plus
 * constants to %ebx: the first sixteen gathered from the blocks, the later ones from the
 * words before.  Uses zmm4-7, %eax and k1; then %ecx names the next word. */
.macro SCHEDULE_WORD
        cmp     $8*16, %ecx
        jae     71f
        kxnorw  %k1, %k1, %k1
        vmovdqa64 OFFSETS(%esp), %zmm4
        lea     (%edx,%ecx), %eax
        vpgatherqq (%eax,%zmm4,1), %zmm5{%k1}
        vpshufb .Lbyte_swap, %zmm5, %zmm5
        jmp     72f
71:
        vmovdqa64 WORDS-64*15(%esp,%ecx,8), %zmm7
        vprorq  $1, %zmm7, %zmm4
        vprorq  $8, %zmm7, %zmm6
        vpsrlq  $7, %zmm7, %zmm5
        vpternlogq $0x96, %zmm6, %zmm4, %zmm5
        vpaddq  WORDS-64*16(%esp,%ecx,8), %zmm5, %zmm5
        vpaddq  WORDS-64*7(%esp,%ecx,8), %zmm5, %zmm5
        vmovdqa64 WORDS-64*2(%esp,%ecx,8), %zmm7
        vprorq  $19, %zmm7, %zmm4
        vprorq  $61, %zmm7, %zmm6
        vpsrlq  $6, %zmm7, %zmm7
        vpternlogq $0x96, %zmm7, %zmm6, %zmm4
        vpaddq  %zmm4, %zmm5, %zmm5
72:
        vmovdqa64 %zmm5, WORDS(%esp,%ecx,8)
        vpaddq  SYMBOL(kSha512RoundConstants)(%ecx){1to8}, %zmm5, %zmm5
        vmovdqa64 %zmm5, (%ebx,%ecx,8)
        add     $8, %ecx
.endm

/* The same for half h of word t (blocks 4h to 4h + 3) in 256-bit registers; after the
 * second half, %ecx names the next word. */
.macro SCHEDULE_HALF h
        cmp     $8*16, %ecx
        jae     71f
        kxnorw  %k1, %k1, %k1
        vmovdqa OFFSETS+32*(\h)(%esp), %ymm4
        lea     (%edx,%ecx), %eax
        vpgatherqq (%eax,%ymm4,1), %ymm5{%k1}
        vpshufb .Lbyte_swap, %ymm5, %ymm5
        jmp     72f
71:
        vmovdqa WORDS-64*15+32*(\h)(%esp,%ecx,8), %ymm7
        vprorq  $1, %ymm7, %ymm4
        vprorq  $8, %ymm7, %ymm6
        vpsrlq  $7, %ymm7, %ymm5
        vpternlogq $0x96, %ymm6, %ymm4, %ymm5
        vpaddq  WORDS-64*16+32*(\h)(%esp,%ecx,8), %ymm5, %ymm5
        vpaddq  WORDS-64*7+32*(\h)(%esp,%ecx,8), %ymm5, %ymm5
        vmovdqa WORDS-64*2+32*(\h)(%esp,%ecx,8), %ymm7
        vprorq  $19, %ymm7, %ymm4
        vprorq  $61, %ymm7, %ymm6
        vpsrlq  $6, %ymm7, %ymm7
        vpternlogq $0x96, %ymm7, %ymm6, %ymm4
        vpaddq  %ymm4, %ymm5, %ymm5
72:
        vmovdqa %ymm5, WORDS+32*(\h)(%esp,%ecx,8)
        vpaddq  SYMBOL(kSha512RoundConstants)(%ecx){1to4}, %ymm5, %ymm5
        vmovdqa %ymm5, 32*(\h)(%ebx,%ecx,8)
.if \h
        add     $8, %ecx
.endif
.endm

/* The gather offsets of a group of %eax blocks (4 to 8): block j at 128 * j, the lanes past
 * the last block taking the first. */
.macro GROUP_OFFSETS
        vmovdqa64 .Llanes, %zmm5
        vpbroadcastd %eax, %zmm6
        vpmovzxdq %ymm6, %zmm6
        vpcmpuq $1, %zmm6, %zmm5, %k1
        vpsllq  $7, %zmm5, %zmm5
        vmovdqa64 %zmm5, %zmm4{%k1}{z}
        vmovdqa64 %zmm4, OFFSETS(%esp)
.endm

/* The chaining value after a block, into the other set of slots (at %eax, 128 bytes in),
 * which the next block reads, as soon as each working variable has its last value: word k
 * of the state (0-3 a-d, 4-7 e-h) plus slot i of the current set to slot i of the other,
 * and to the state if update is 1; b and f, which are in registers too, go to the state
 * with a and e after the last step. */
.macro NEXT_SLOT k, i, update
        mov     OTHER(%esp), %eax
        vmovq   8*(\k)(%edi), T0
.if (\k) < 4
        vpaddq  ASLOT-128+16*(\i)(%ebp), T0, T0
        vmovdqa T0, ASLOT-128+16*(\i)(%eax)
.else
        vpaddq  ESLOT-128+16*(\i)(%ebp), T0, T0
        vmovdqa T0, ESLOT-128+16*(\i)(%eax)
.endif
.if \update
        vmovq   T0, 8*(\k)(%edi)
.endif
.endm

/* After the last step: a, b, e and f plus the state in their registers and the state, a and
 * e to the other set of slots; then the sets change places. */
.macro ADD_REGISTERS
        mov     OTHER(%esp), %eax
        vmovq   0(%edi), T0
        vpaddq  T0, %xmm0, %xmm0
        vmovq   %xmm0, 0(%edi)
        vmovdqa %xmm0, ASLOT-128+16*3(%eax)
        vmovq   8(%edi), T0
        vpaddq  T0, %xmm1, %xmm1
        vmovq   %xmm1, 8(%edi)
        vmovq   32(%edi), T0
        vpaddq  T0, %xmm2, %xmm2
        vmovq   %xmm2, 32(%edi)
        vmovdqa %xmm2, ESLOT-128+16*3(%eax)
        vmovq   40(%edi), T0
        vpaddq  T0, %xmm3, %xmm3
        vmovq   %xmm3, 40(%edi)
        mov     %ebp, OTHER(%esp)
        mov     %eax, %ebp
.endm

        .globl  SYMBOL(korvadex_sha512_compress_groups_i686)
        .p2align 6
SYMBOL(korvadex_sha512_compress_groups_i686):
        mov     12(%esp), %eax
        cmp     $4, %eax
        jb      .Lnothing
        push    %ebp
        mov     %esp, %ebp
        push    %ebx
        push    %esi
        push    %edi
        /* The frame spans several pages: each is touched in turn, as the stack grows. */
        mov     $PAGES, %ecx
.Lprobe:
        sub     $4096, %esp
        orl     $0, (%esp)
        dec     %ecx
        jnz     .Lprobe
        and     $-64, %esp
        mov     8(%ebp), %edi
        mov     12(%ebp), %edx
        mov     16(%ebp), %eax
        mov     %ebp, SAVED(%esp)
        lea     128(%esp), %ebp
        lea     128+256(%esp), %ecx
        mov     %ecx, OTHER(%esp)

        /* The working variables from the state: slots 3, 2, 1, 0 of a hold a, b, c, d, those
         * of e e, f, g, h; a, b, e and f in xmm0-3. */
        vmovq   0(%edi), %xmm0
        vmovq   8(%edi), %xmm1
        vmovq   16(%edi), T0
        vmovq   24(%edi), T1
        vmovdqa %xmm0, ASLOT+16*3(%esp)
        vmovdqa %xmm1, ASLOT+16*2(%esp)
        vmovdqa T0, ASLOT+16*1(%esp)
        vmovdqa T1, ASLOT+16*0(%esp)
        vmovq   32(%edi), %xmm2
        vmovq   40(%edi), %xmm3
        vmovq   48(%edi), T0
        vmovq   56(%edi), T1
        vmovdqa %xmm2, ESLOT+16*3(%esp)
        vmovdqa %xmm3, ESLOT+16*2(%esp)
        vmovdqa T0, ESLOT+16*1(%esp)
        vmovdqa T1, ESLOT+16*0(%esp)

        /* The first group's schedule, with no steps beside it. */
        mov     %eax, %ecx
        cmp     $8, %ecx
        jbe     1f
        mov     $8, %ecx
1:      mov     %ecx, COUNT(%esp)
        sub     %ecx, %eax
        mov     %eax, LEFT(%esp)
        mov     %ecx, %eax
        GROUP_OFFSETS
        mov     %edx, DATA(%esp)
        lea     WK0(%esp), %ebx
        mov     %ebx, CURRENT(%esp)
        xor     %ecx, %ecx
.Lfirst:
        SCHEDULE_WORD
        cmp     $8*80, %ecx
        jne     .Lfirst

.Lgroup:
        /* The next group, where four blocks or more follow: its words are formed during
         * this group's steps (which then has eight blocks, 80 steps before each word). */
        xor     %ebx, %ebx
        mov     LEFT(%esp), %eax
        cmp     $4, %eax
        jb      1f
        cmp     $8, %eax
        jbe     2f
        mov     $8, %eax
2:      mov     %eax, NEXTCOUNT(%esp)
        GROUP_OFFSETS
        mov     DATA(%esp), %edx
        add     $8*128, %edx
        lea     WK0(%esp), %ebx
        lea     WK1(%esp), %eax
        cmp     CURRENT(%esp), %ebx
        cmove   %eax, %ebx
1:
        /* The blocks of this group in turn: block j's words plus constants in lane j. */
        mov     CURRENT(%esp), %esi
        mov     COUNT(%esp), %eax
        lea     (%esi,%eax,8), %eax
        mov     %eax, GROUPEND(%esp)
        xor     %ecx, %ecx
.Lblock:
        lea     64*72(%esi), %eax
        mov     %eax, BLOCKEND(%esp)
.Leight:
        STEPS8
        add     $64*8, %esi
        cmp     BLOCKEND(%esp), %esi
        jne     .Leight
        STEPS8  1
        ADD_REGISTERS
        sub     $64*72-8, %esi
        cmp     GROUPEND(%esp), %esi
        jne     .Lblock

        mov     COUNT(%esp), %eax
        shl     $7, %eax
        add     %eax, DATA(%esp)
        test    %ebx, %ebx
        jz      .Ldone
        mov     %ebx, CURRENT(%esp)
        mov     NEXTCOUNT(%esp), %eax
        mov     %eax, COUNT(%esp)
        sub     %eax, LEFT(%esp)
        jmp     .Lgroup

.Ldone:
        mov     LEFT(%esp), %eax
        vzeroupper
        mov     SAVED(%esp), %ebp
        lea     -12(%ebp), %esp
        pop     %edi
        pop     %esi
        pop     %ebx
        pop     %ebp
.Lnothing:
        ret

        .section .rdata, "dr"
        .p2align 6
/* vpshufb: each 64-bit word's bytes reversed. */
.Lbyte_swap:
        .rept   4
        .byte   7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8
        .endr
.Llanes:
        .quad   0, 1, 2, 3, 4, 5, 6, 7
