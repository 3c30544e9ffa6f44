/* Plain reference implementations of SHA-0, PANAMA and Snefru, written from their
 * publications alone, for tools/big_input_check.sh: an oracle that shares no code with the
 * engines under digests/.
 *
 *   reference_digests [--sboxes FILE] ALGORITHM... < INPUT
 *
 * ALGORITHM: sha0 (FIPS 180, 1993), panama (Daemen and Clapp, 1998, hashing mode),
 * snefru128-4, snefru128-8, snefru256-4, snefru256-8 (Merkle, 1990: output bits and
 * passes).  FILE holds the sixteen published Snefru S-boxes as hex words (the project's
 * tools/tables/snefru_sboxes.txt); it is needed for the Snefru algorithms.  The input is read
 * once, in chunks, and feeds every algorithm named; each digest is printed in upper-case hex
 * on a line of its own, in the order named.  Before it reads anything the program checks
 * every algorithm it can against published values, fed in uneven pieces, and exits with
 * status 1 if one differs.  Exit status 2 for a usage error. */

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static uint32_t Rotl(uint32_t x, unsigned n) {
    return (x << (n & 31)) | (x >> (-n & 31));
}

static uint32_t Rotr(uint32_t x, unsigned n) {
    return (x >> (n & 31)) | (x << (-n & 31));
}

static uint32_t LoadBe(const uint8_t* p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

static uint32_t LoadLe(const uint8_t* p) {
    return (uint32_t)p[3] << 24 | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

static void StoreBe(uint8_t* p, uint32_t x) {
    p[0] = (uint8_t)(x >> 24);
    p[1] = (uint8_t)(x >> 16);
    p[2] = (uint8_t)(x >> 8);
    p[3] = (uint8_t)x;
}

static void StoreLe(uint8_t* p, uint32_t x) {
    p[0] = (uint8_t)x;
    p[1] = (uint8_t)(x >> 8);
    p[2] = (uint8_t)(x >> 16);
    p[3] = (uint8_t)(x >> 24);
}

/* Every algorithm here works on fixed-size blocks: a generic buffer gathers the input and
 * hands whole blocks to the algorithm's compression step. */
typedef struct Hash Hash;
struct Hash {
    unsigned blockSize;
    uint64_t length; /* message bytes so far */
    uint8_t block[64];
    unsigned fill;
    void (*compress)(Hash* h, const uint8_t* block);
    /* SHA-0 */
    uint32_t h[5];
    /* Snefru */
    unsigned outputWords, passes;
    uint32_t chain[8];
    /* PANAMA */
    uint32_t a[17];
    uint32_t stage[32][8];
    unsigned tap; /* physical index of logical stage 0 */
};

static void Absorb(Hash* h, const uint8_t* data, size_t size) {
    h->length += size;
    if (h->fill) {
        size_t take = h->blockSize - h->fill;
        if (take > size) take = size;
        memcpy(h->block + h->fill, data, take);
        h->fill += (unsigned)take;
        data += take;
        size -= take;
        if (h->fill < h->blockSize) return;
        h->compress(h, h->block);
        h->fill = 0;
    }
    for (; size >= h->blockSize; data += h->blockSize, size -= h->blockSize) h->compress(h, data);
    memcpy(h->block, data, size);
    h->fill = (unsigned)size;
}

/* ---- SHA-0: FIPS 180 (1993); the schedule has no rotation ---- */

static void Sha0Compress(Hash* h, const uint8_t* block) {
    uint32_t w[80];
    for (int t = 0; t < 16; t++) w[t] = LoadBe(block + 4 * t);
    for (int t = 16; t < 80; t++) w[t] = w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16];
    uint32_t a = h->h[0], b = h->h[1], c = h->h[2], d = h->h[3], e = h->h[4];
    for (int t = 0; t < 80; t++) {
        uint32_t f, k;
        if (t < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (t < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        uint32_t temp = Rotl(a, 5) + f + e + w[t] + k;
        e = d;
        d = c;
        c = Rotl(b, 30);
        b = a;
        a = temp;
    }
    h->h[0] += a;
    h->h[1] += b;
    h->h[2] += c;
    h->h[3] += d;
    h->h[4] += e;
}

static void Sha0Start(Hash* h) {
    static const uint32_t kInitial[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
                                         0xC3D2E1F0};
    h->blockSize = 64;
    h->compress = Sha0Compress;
    memcpy(h->h, kInitial, sizeof kInitial);
}

/* The message, a one bit, zeros to 56 bytes modulo 64, the bit length in 64 bits. */
static unsigned Sha0Finish(Hash* h, uint8_t* digest) {
    uint64_t bits = h->length * 8;
    uint8_t pad[72] = {0x80};
    unsigned padSize = (h->fill < 56 ? 56 : 120) - h->fill;
    for (int i = 0; i < 8; i++) pad[padSize + i] = (uint8_t)(bits >> (56 - 8 * i));
    Absorb(h, pad, padSize + 8);
    for (int i = 0; i < 5; i++) StoreBe(digest + 4 * i, h->h[i]);
    return 20;
}

/* ---- Snefru: Merkle, "A Fast Software One-Way Hash Function" (1990) ---- */

static uint32_t gSboxes[16][256];
static int gSboxesLoaded;

/* The compression function over 16 words: the chaining value followed by the message
 * words, big-endian.  Pass p uses S-boxes 2p and 2p+1. */
static void SnefruCompress(Hash* h, const uint8_t* block) {
    static const unsigned kShifts[4] = {16, 8, 16, 24};
    uint32_t input[16], w[16];
    unsigned n = h->outputWords;
    memcpy(input, h->chain, n * sizeof(uint32_t));
    for (unsigned i = n; i < 16; i++) input[i] = LoadBe(block + 4 * (i - n));
    memcpy(w, input, sizeof w);
    for (unsigned pass = 0; pass < h->passes; pass++) {
        const uint32_t* even = gSboxes[2 * pass];
        const uint32_t* odd = gSboxes[2 * pass + 1];
#pragma GCC unroll 4
        for (int round = 0; round < 4; round++) {
            /* Words 0 and 1 of every four take the even box, words 2 and 3 the odd one. */
#pragma GCC unroll 16
            for (unsigned i = 0; i < 16; i++) {
                uint32_t entry = ((i >> 1) & 1 ? odd : even)[w[i] & 0xFF];
                w[(i + 1) & 15] ^= entry;
                w[(i - 1) & 15] ^= entry;
            }
            unsigned shift = kShifts[round];
#pragma GCC unroll 16
            for (unsigned i = 0; i < 16; i++) w[i] = Rotr(w[i], shift);
        }
    }
    for (unsigned i = 0; i < n; i++) h->chain[i] = input[i] ^ w[15 - i];
}

static void SnefruStart(Hash* h, unsigned bits, unsigned passes) {
    h->outputWords = bits / 32;
    h->blockSize = 64 - bits / 8;
    h->passes = passes;
    h->compress = SnefruCompress;
    memset(h->chain, 0, sizeof h->chain);
}

/* Zeros up to the block border, then one block holding only the bit length in its last
 * eight bytes. */
static unsigned SnefruFinish(Hash* h, uint8_t* digest) {
    uint64_t bits = h->length * 8;
    uint8_t pad[128] = {0};
    unsigned padSize = (h->fill ? h->blockSize - h->fill : 0) + h->blockSize;
    for (int i = 0; i < 8; i++) pad[padSize - 8 + i] = (uint8_t)(bits >> (56 - 8 * i));
    Absorb(h, pad, padSize);
    for (unsigned i = 0; i < h->outputWords; i++) StoreBe(digest + 4 * i, h->chain[i]);
    return 4 * h->outputWords;
}

/* ---- PANAMA: Daemen and Clapp, "Fast Hashing and Stream Encryption with PANAMA" (1998) ---- */

/* Logical buffer stage j. */
static uint32_t* Stage(Hash* h, unsigned j) {
    return h->stage[(h->tap + j) & 31];
}

/* One iteration; q is the input block when pushing and NULL when pulling. */
static void PanamaIterate(Hash* h, const uint32_t* q) {
    uint32_t* a = h->a;
    uint32_t pulled[8], b4[8], b16[8], g[17], m[17];
    memcpy(b4, Stage(h, 4), sizeof b4);
    memcpy(b16, Stage(h, 16), sizeof b16);
    if (!q) {
        memcpy(pulled, a + 1, sizeof pulled);
    }
    const uint32_t* bufferInput = q ? q : pulled;
    const uint32_t* stateInput = q ? q : b4;

    /* The buffer λ: stage 31 becomes stage 0, XORed with the input; stage 25 gets stage 24
     * XORed with stage 31 shifted two words; every other stage moves one place on. */
    uint32_t* last = Stage(h, 31);
    uint32_t* b24 = Stage(h, 24);
    uint32_t old31[8];
    memcpy(old31, last, sizeof old31);
    for (int i = 0; i < 8; i++) b24[i] ^= old31[(i + 2) & 7];
    for (int i = 0; i < 8; i++) last[i] = old31[i] ^ bufferInput[i];
    h->tap = (h->tap + 31) & 31;

    /* The state ρ = σ∘θ∘π∘γ. */
    for (int i = 0; i < 17; i++) g[i] = a[i] ^ (a[(i + 1) % 17] | ~a[(i + 2) % 17]);
    for (int i = 0; i < 17; i++) m[i] = Rotl(g[(7 * i) % 17], (unsigned)(i * (i + 1) / 2) % 32);
    for (int i = 0; i < 17; i++) a[i] = m[i] ^ m[(i + 1) % 17] ^ m[(i + 4) % 17];
    a[0] ^= 1;
    for (int i = 0; i < 8; i++) a[1 + i] ^= stateInput[i];
    for (int i = 0; i < 8; i++) a[9 + i] ^= b16[i];
}

static void PanamaCompress(Hash* h, const uint8_t* block) {
    uint32_t p[8];
    for (int i = 0; i < 8; i++) p[i] = LoadLe(block + 4 * i);
    PanamaIterate(h, p);
}

static void PanamaStart(Hash* h) {
    h->blockSize = 32;
    h->compress = PanamaCompress;
    memset(h->a, 0, sizeof h->a);
    memset(h->stage, 0, sizeof h->stage);
    h->tap = 0;
}

/* The message, the byte 0x01 and zeros to the block border; 32 blank pulls; the digest is
 * state words 9 to 16, little-endian. */
static unsigned PanamaFinish(Hash* h, uint8_t* digest) {
    uint8_t pad[32] = {0x01};
    Absorb(h, pad, 32 - h->fill);
    for (int i = 0; i < 32; i++) PanamaIterate(h, NULL);
    for (int i = 0; i < 8; i++) StoreLe(digest + 4 * i, h->a[9 + i]);
    return 32;
}

/* ---- The algorithms by name ---- */

typedef struct {
    const char* name;
    unsigned bits, passes; /* Snefru only */
} Algorithm;

static const Algorithm kAlgorithms[] = {
    {"sha0", 0, 0},          {"panama", 0, 0},        {"snefru128-4", 128, 4},
    {"snefru128-8", 128, 8}, {"snefru256-4", 256, 4}, {"snefru256-8", 256, 8},
};
enum { kAlgorithmCount = sizeof kAlgorithms / sizeof kAlgorithms[0] };

static void Start(Hash* h, const Algorithm* algorithm) {
    memset(h, 0, sizeof *h);
    if (algorithm->bits)
        SnefruStart(h, algorithm->bits, algorithm->passes);
    else if (strcmp(algorithm->name, "sha0") == 0)
        Sha0Start(h);
    else
        PanamaStart(h);
}

static unsigned Finish(Hash* h, const Algorithm* algorithm, uint8_t* digest) {
    if (algorithm->bits) return SnefruFinish(h, digest);
    if (strcmp(algorithm->name, "sha0") == 0) return Sha0Finish(h, digest);
    return PanamaFinish(h, digest);
}

static void ToHex(const uint8_t* digest, unsigned size, char* hex) {
    for (unsigned i = 0; i < size; i++) sprintf(hex + 2 * i, "%02X", digest[i]);
}

/* ---- Published values, checked before any input is read ---- */

typedef struct {
    const char* algorithm;
    const char* message; /* NULL: a million times the letter a */
    const char* digest;
} KnownAnswer;

static const KnownAnswer kKnownAnswers[] = {
    /* FIPS 180, appendices A to C */
    {"sha0", "abc", "0164B8A914CD2A5E74C4F7FF082C4D97F1EDF880"},
    {"sha0", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "D2516EE1ACFA5BAF33DFC1C471E438449EF134C8"},
    {"sha0", NULL, "3232AFFA48628A26653B5AAA44541FD90D690603"},
    /* the published PANAMA hash values */
    {"panama", "", "AA0CC954D757D7AC7779CA3342334CA471ABD47D5952AC91ED837ECD5B16922B"},
    {"panama", "The quick brown fox jumps over the lazy dog",
     "5F5CA355B90AC622B0AA7E654EF5F27E9E75111415B48B8AFE3ADD1C6B89CBA1"},
    /* the published Snefru test values (8 passes) */
    {"snefru128-8", "", "8617F366566A011837F4FB4BA5BEDEA2"},
    {"snefru128-8", "abc", "553D0648928299A0F22A275A02C83B10"},
    {"snefru128-8", "message digest", "96D6F2F4112C4BAF29F653F1594E2D5D"},
    {"snefru256-8", "", "8617F366566A011837F4FB4BA5BEDEA2B892F3ED8B894023D16AE344B2BE5881"},
    {"snefru256-8", "abc", "7D033205647A2AF3DC8339F6CB25643C33EBC622D32979C4B612B02C4903031B"},
    {"snefru256-8", "message digest",
     "C5D4CE38DAA043BDD59ED15DB577500C071B917C1A46CD7B4D30B44A44C86DF8"},
    /* 4 passes: the same function cut after the first four passes */
    {"snefru128-4", "", "5148516AE7FC7E89AD8E0B0B8D76AC78"},
    {"snefru128-4", "abc", "B6029A546373F33217BE9515800C5E15"},
    {"snefru256-4", "", "5148516AE7FC7E89AD8E0B0B8D76AC782498615818FB8EEB08CBAB9F07C82A73"},
    {"snefru256-4", "abc", "BDA1E7EF98134710FDC3A1BFA714993EF35B22D81B1608D09FCA2BE479DF338C"},
};

static const Algorithm* FindAlgorithm(const char* name) {
    for (int i = 0; i < kAlgorithmCount; i++)
        if (strcmp(kAlgorithms[i].name, name) == 0) return &kAlgorithms[i];
    return NULL;
}

/* Feeds the message in pieces of 1, 2, 3, ... bytes, so that the block gathering is checked
 * too.  Returns the number of values that differ. */
static int CheckKnownAnswers(void) {
    static uint8_t million[1000000];
    memset(million, 'a', sizeof million);
    int failed = 0;
    for (size_t k = 0; k < sizeof kKnownAnswers / sizeof kKnownAnswers[0]; k++) {
        const KnownAnswer* answer = &kKnownAnswers[k];
        const Algorithm* algorithm = FindAlgorithm(answer->algorithm);
        if (algorithm->bits && !gSboxesLoaded) continue;
        const uint8_t* message = answer->message ? (const uint8_t*)answer->message : million;
        size_t size = answer->message ? strlen(answer->message) : sizeof million;
        Hash h;
        Start(&h, algorithm);
        for (size_t at = 0, piece = 1; at < size; at += piece, piece = piece % 97 + 1) {
            if (piece > size - at) piece = size - at;
            Absorb(&h, message + at, piece);
        }
        uint8_t digest[32];
        char hex[65];
        ToHex(digest, Finish(&h, algorithm, digest), hex);
        if (strcmp(hex, answer->digest) != 0) {
            fprintf(stderr, "reference_digests: %s of %s gives %s, published %s\n",
                    answer->algorithm, answer->message ? answer->message : "a million a", hex,
                    answer->digest);
            failed++;
        }
    }
    return failed;
}

/* The S-box file: hex words, 8 to a line; lines starting with # are comments. */
static int LoadSboxes(const char* path) {
    FILE* f = fopen(path, "r");
    if (!f) {
        perror(path);
        return 0;
    }
    char line[256];
    unsigned count = 0;
    while (fgets(line, sizeof line, f)) {
        if (line[0] == '#') continue;
        char* p = line;
        for (;;) {
            char* end;
            unsigned long word = strtoul(p, &end, 16);
            if (end == p) break;
            if (count == 16 * 256) {
                count++;
                break;
            }
            gSboxes[count / 256][count % 256] = (uint32_t)word;
            count++;
            p = end;
        }
    }
    fclose(f);
    if (count != 16 * 256) {
        fprintf(stderr, "reference_digests: %s: expected %d S-box words\n", path, 16 * 256);
        return 0;
    }
    gSboxesLoaded = 1;
    return 1;
}

int main(int argc, char** argv) {
    int first = 1;
    if (argc > 2 && strcmp(argv[1], "--sboxes") == 0) {
        if (!LoadSboxes(argv[2])) return 2;
        first = 3;
    }
    int count = argc - first;
    if (count < 1) {
        fprintf(stderr, "usage: reference_digests [--sboxes FILE] ALGORITHM... < INPUT\n");
        return 2;
    }
    const Algorithm** named = calloc((size_t)count, sizeof *named);
    Hash* hashes = calloc((size_t)count, sizeof *hashes);
    if (!named || !hashes) return 1;
    for (int i = 0; i < count; i++) {
        named[i] = FindAlgorithm(argv[first + i]);
        if (!named[i]) {
            fprintf(stderr, "reference_digests: unknown algorithm %s\n", argv[first + i]);
            return 2;
        }
        if (named[i]->bits && !gSboxesLoaded) {
            fprintf(stderr, "reference_digests: %s needs --sboxes\n", argv[first + i]);
            return 2;
        }
    }
    if (CheckKnownAnswers()) {
        fprintf(stderr, "reference_digests: known answers differ; not run\n");
        return 1;
    }
    for (int i = 0; i < count; i++) Start(&hashes[i], named[i]);
    enum { kChunk = 1 << 20 };
    uint8_t* chunk = malloc(kChunk);
    if (!chunk) return 1;
    size_t got;
    while ((got = fread(chunk, 1, kChunk, stdin)) > 0)
        for (int i = 0; i < count; i++) Absorb(&hashes[i], chunk, got);
    if (ferror(stdin)) {
        perror("reference_digests: standard input");
        return 1;
    }
    for (int i = 0; i < count; i++) {
        uint8_t digest[32];
        char hex[65];
        ToHex(digest, Finish(&hashes[i], named[i], digest), hex);
        printf("%s\n", hex);
    }
    free(chunk);
    free(hashes);
    free(named);
    return fflush(stdout) == 0 ? 0 : 1;
}
