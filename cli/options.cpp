#include "options.h"

#include <algorithm>

#include "batch/messages.h"
#include "common/algorithm_names.h"
#include "common/line_names.h"
#include "lists/bag_files.h"
#include "system/extended_attributes.h"

const char kVersion[] = KORVADEX_VERSION;

const char kUsageText[] =
    "usage: korvadex [OPTION]... [FILE]...\n"
    "       korvadex [OPTION]... --files-from LIST [-0]\n"
    "       korvadex [--key TEXT | --key-file PATH] --save SAVED FILE\n"
    "       korvadex -c [--input FILE] [--quiet | --status] [--strict] [-w] LIST...\n"
    "       korvadex --match HEX FILE...\n"
    "       korvadex --update LIST [--rehash] [--prune] (-r DIR | FILE...)\n"
    "       korvadex --audit LIST [--quiet | --status] (-r DIR | FILE...)\n"
    "       korvadex --known LIST | --unknown LIST [-r] FILE...\n"
    "       korvadex --tree [-a NAME] [--expect HEX] DIR...\n"
    "       korvadex --check-embedded [--strict] | --embed-crc  (-r DIR | FILE...)\n"
    "       korvadex --verify-cache [-a NAME] (-r DIR | FILE...)\n"
    "       korvadex --make-bag [-a NAME] DIR | -c [--fast] BAG\n"
    "       korvadex --shard K/N [--run-id TEXT] [-o FILE [--resume]] FILE...\n"
    "       korvadex --merge [--format FORMAT] [-o FILE] SHARD-LIST...\n"
    "       korvadex --list [--paths] | --self-test | --help | --version\n";

const char kHelpText[] =
    "Prints the forty digests and checksums of each FILE, one per line: the line's\n"
    "label, then its value in upper-case hex.  With several files, each report\n"
    "starts with an \"Input: FILE\" line and a blank line separates the reports\n"
    "(a FILE with a backslash, a control character or bytes that are not UTF-8\n"
    "is shown there after a '\\', escaped as coreutils escapes names).\n"
    "With no FILE, or when FILE is -, reads standard input (write ./- for a file\n"
    "named -).  Each input is read once, in pieces: any size is hashed in a few\n"
    "MiB of memory.\n"
    "\n"
    "Choosing and writing the digests:\n"
    "  -a, --algorithm NAME[,NAME...]\n"
    "                     only the lines named: a label without the ': ' or the name\n"
    "                     another tool gives the same variant (sha256, rmd160,\n"
    "                     gost94, haval128,3, crc32...), in any case, hyphens\n"
    "                     optional; may be repeated, the names add up; --list shows\n"
    "                     every name.  --only is the same option\n"
    "                       korvadex --algorithm sha256,md5 photo.jpg\n"
    "                       korvadex -a haval128,3 -a rmd160 photo.jpg\n"
    "      --format FORMAT\n"
    "                     report (the default), gnu (\"hex  NAME\" as sha256sum\n"
    "                     writes it; exactly one algorithm), bsd (\"TAG (NAME) = hex\",\n"
    "                     one line per algorithm, as sha256sum --tag and cksum write\n"
    "                     it), sfv (\"NAME CRC32\", CRC-32 only, without a key) or\n"
    "                     hashdeep (\"SIZE,hex,...,NAME\" under hashdeep's header, as\n"
    "                     hashdeep -l writes it; md5, sha1, sha256, tiger and\n"
    "                     whirlpool only, md5 and sha256 without -a; without a key).\n"
    "                     A name that the format cannot carry so that --check reads\n"
    "                     it back is not written, with exit status 1: in sfv, one\n"
    "                     with ';' or '#' first, a blank at either end, a control\n"
    "                     character or a backslash; in hashdeep, one with a line\n"
    "                     feed or a carriage return last\n"
    "                       korvadex --format gnu -a sha256 *.iso > SHA256SUMS\n"
    "                       korvadex --format hashdeep -r photos > photos.hashdeep\n"
    "                     Also json (one JSON object per line and file: its name,\n"
    "                     size, modification time and digests, keyed ones marked\n"
    "                     as such; a name that is not UTF-8 as base64 in\n"
    "                     name_base64) and csv (the same fields, one RFC 4180 row\n"
    "                     per file under a header row, CR LF line ends)\n"
    "                       korvadex --format json -a md5 -r photos > photos.json\n"
    "                       korvadex --format csv -r photos > photos.csv\n"
    "      --tag          the same as --format bsd\n"
    "                       korvadex --tag -a md5,sha1 *.iso\n"
    "  -b, --binary       gnu format: mark each name with '*' (binary mode)\n"
    "  -t, --text         gnu format: mark each name with ' ' (the default)\n"
    "  -z, --zero         gnu, bsd and sfv formats: end each line with NUL, not\n"
    "                     newline, and write file names as they are\n"
    "      --lower        print the values in lower-case hex (the default of the gnu\n"
    "                     and bsd formats)\n"
    "                       korvadex --lower photo.jpg\n"
    "      --upper        print the values in upper-case hex (the default of the\n"
    "                     report and sfv formats)\n"
    "  -r, --recursive    hash the files in each directory FILE and below it, in\n"
    "                     sorted order, named by FILE joined with '/'; symbolic links\n"
    "                     found there are skipped\n"
    "                       korvadex --recursive -a md5 --format gnu photos\n"
    "      --follow       with -r, also follow symbolic links; one that leads\n"
    "                     nowhere (dangling, or in a loop) is an error\n"
    "      --exclude PATTERN\n"
    "                     with -r, leave out the files and directories (not entered)\n"
    "                     that PATTERN, a shell glob, matches; with --check, the\n"
    "                     entries of the list, by the names it writes.  A PATTERN\n"
    "                     without '/' matches a name at any depth, one with a '/'\n"
    "                     inside the path below the FILE ('*' stops at '/'), one\n"
    "                     ending in '/' directories only.  --exclude and --include\n"
    "                     may be repeated; they are tried in the order given and the\n"
    "                     first that matches decides.  A file none matches is taken\n"
    "                     unless the last of them is an --include; a directory none\n"
    "                     matches is entered.  The FILEs themselves are always taken\n"
    "                       korvadex -r --exclude .git/ --exclude '*.o' src\n"
    "      --include PATTERN\n"
    "                     take what PATTERN matches, as above\n"
    "                       korvadex -r --include '*.iso' -a sha256 media\n"
    "      --max-depth N  with -r, take nothing more than N levels below each FILE,\n"
    "                     as find -maxdepth: 1 is the FILE's own entries, 0 the FILE\n"
    "                     itself only\n"
    "                       korvadex -r --max-depth 1 photos\n"
    "  -x, --one-file-system\n"
    "                     with -r, do not enter directories on other file systems\n"
    "      --files-from LIST\n"
    "                     hash the files named in LIST (- for standard input), one\n"
    "                     per line, in that order, after the FILEs given\n"
    "                       git ls-files | korvadex --files-from - -a md5\n"
    "  -0, --null         --files-from: the names end in NUL, not newline, as\n"
    "                     find -print0 writes them (so they may hold line breaks)\n"
    "                       find . -type f -print0 | korvadex --files-from - -0\n"
    "      --string TEXT  hash TEXT as an input (named \"TEXT\" in the output); may\n"
    "                     be repeated\n"
    "                       korvadex --string abc -a sha1\n"
    "      --key TEXT     keyed report: every line as HMAC (RFC 2104) of its\n"
    "                     algorithm with the key TEXT; the labels stay the same, and\n"
    "                     a checksum line gives the HMAC over its checksum; --tag\n"
    "                     writes HMAC-MD5 and the like, as openssl dgst -hmac does\n"
    "                       korvadex --key \"our shared secret\" invoice.pdf\n"
    "      --key-file PATH\n"
    "                     keyed report with the bytes of PATH as the key (any bytes,\n"
    "                     up to 1 MiB); unlike --key, it keeps the key out of the\n"
    "                     process list and the shell history\n"
    "                       korvadex --key-file secret.key invoice.pdf\n"
    "      --jobs N       compute the lines on N threads at most, one engine per\n"
    "                     thread at a time; 0, the default, takes one thread per\n"
    "                     core, and 1 computes the lines one after the other.  The\n"
    "                     output is the same for every N\n"
    "                       korvadex --jobs 1 photo.jpg\n"
    "                     Several inputs (-r, FILEs, --files-from, --check) are\n"
    "                     computed up to N (at most 16) at once, each on a thread\n"
    "                     that reads it and hashes it, and written in their order;\n"
    "                     so are the files of --known, --unknown, --update,\n"
    "                     --audit, --tree and --match\n"
    "      --read-order auto|parallel|sequential\n"
    "                     how several files are read: sequential reads them one\n"
    "                     after another (what memory holds is taken at once) while\n"
    "                     those read are hashed; parallel reads several at once;\n"
    "                     auto, the default, is sequential on spinning disks and\n"
    "                     network file systems, parallel elsewhere\n"
    "                       korvadex -r --read-order sequential /mnt/usb-disk\n"
    "      --save SAVED   also write the report of the one FILE to SAVED in the\n"
    "                     saved-report format of the Windows program (CR LF line\n"
    "                     ends); SAVED is replaced only once it is complete, a\n"
    "                     link is written through, a FIFO or device as it is\n"
    "                       korvadex --save photo-report.txt photo.jpg\n"
    "\n"
    "Checking:\n"
    "  -c, --check        read digests from each FILE (a list) and check them: saved\n"
    "                     reports; the lists of sha256sum, md5sum and the like, with\n"
    "                     or without --tag; those of cksum -a, rhash (also --bsd,\n"
    "                     --sfv and several algorithms a line) and openssl dgst; SFV\n"
    "                     files; hashdeep's lists (one verdict per file for its\n"
    "                     values and its size); in UTF-8 or UTF-16, with CR LF or\n"
    "                     LF.  The algorithm comes from the tag or the header; for\n"
    "                     untagged lines from -a, else from the list's name\n"
    "                     (SHA256SUMS, x.md5) and the digest's length, else it is\n"
    "                     the first of that width that matches a listed file (said\n"
    "                     on standard error)\n"
    "                     A saved report passes only when it holds every line (with\n"
    "                     -a, every line named), since --save writes them all\n"
    "                       korvadex --check SHA256SUMS\n"
    "                       korvadex -c photo-report.txt\n"
    "                     The lists of --format json and csv are read too, one\n"
    "                     verdict per file for its digests and its size\n"
    "                       korvadex -c photos.json\n"
    "      --input FILE   check a saved report against FILE instead of the file its\n"
    "                     \"Input: \" line names (for a report saved with a Windows\n"
    "                     path); refused with a checksum list\n"
    "                       korvadex --input photo.jpg -c report-from-windows.txt\n"
    "      --ignore-missing\n"
    "                     don't fail or report status for missing files\n"
    "      --quiet        don't print OK for each file checked\n"
    "      --status       don't print anything; the exit status tells\n"
    "      --strict       exit non-zero for improperly formatted list lines\n"
    "  -w, --warn         warn about improperly formatted list lines\n"
    "  -c BAG             where BAG is a folder holding bagit.txt: validate the bag\n"
    "                     (BagIt 0.93 to 1.0): every file of every manifest and tag\n"
    "                     manifest, one line per file (OK, FAILED, missing, not\n"
    "                     listed...), every problem listed, then \"BAG: valid\",\n"
    "                     \"incomplete (N problems)\" or \"invalid (N problems)\";\n"
    "                     warnings on standard error; exit status 0 when valid\n"
    "                       korvadex -c --quiet archive-bag\n"
    "      --fast         with -c BAG: check the Payload-Oxum of bag-info.txt alone\n"
    "                     (the payload's bytes and files), reading no checksum\n"
    "                       korvadex -c --fast archive-bag\n"
    "  -c --format json   write the verdicts as JSON, one object per entry: name,\n"
    "                     list, line, verdict (OK, FAILED, missing, unreadable),\n"
    "                     expected and actual size and digests where known\n"
    "                       korvadex -c --format json --quiet photos.json\n"
    "\n"
    "Keeping a list:\n"
    "      --update LIST  bring LIST, a checksum list of any format that --check\n"
    "                     reads but saved reports and UTF-16, up to date with the\n"
    "                     files given (-r DIR, FILEs or --files-from): add the files\n"
    "                     it lacks, hashing only those, and hash again each listed\n"
    "                     file whose size or time differs from the one LIST records\n"
    "                     (hashdeep: the size; JSON, CSV: both) or that was modified\n"
    "                     less than 2 seconds before LIST was last written (or\n"
    "                     after).  LIST keeps its format,\n"
    "                     algorithms, order and other lines; new entries are sorted\n"
    "                     in, named as the walk names them (absolute in a list of\n"
    "                     absolute names).  It is replaced whole once complete, as\n"
    "                     --save writes, and stamped with the time the run began.\n"
    "                     Entries of files not given, and those --exclude and\n"
    "                     --include leave out, are kept as they are.  A LIST that\n"
    "                     does not exist is begun in the --format given, with -a.\n"
    "                     The summary, on standard error, says how many entries were\n"
    "                     added, re-hashed (and changed), dropped and kept\n"
    "                       korvadex --update photos.hashdeep -r photos\n"
    "                       korvadex --update MD5SUMS --format gnu -a md5 -r src\n"
    "      --rehash       with --update: hash every file given again\n"
    "                       korvadex --update photos.hashdeep --rehash -r photos\n"
    "      --prune        with --update: drop the entries whose files are gone\n"
    "                       korvadex --update photos.hashdeep --prune -r photos\n"
    "      --audit LIST   give every file given and every entry of LIST one verdict:\n"
    "                     \"matched\"; \"changed\" (same name, other values);\n"
    "                     \"moved from NAME\" (the values of an entry whose name no\n"
    "                     file given bears); \"new\"; \"missing\" (an entry's name\n"
    "                     unmatched).  Names match as paths (\"./a\" is \"a\"; an\n"
    "                     absolute name, as hashdeep writes, is the file's absolute\n"
    "                     path).  Where several files share values (copies, empty\n"
    "                     files), the entries left, in byte order of their names,\n"
    "                     each take the first file left, in byte order of its path.\n"
    "                     Verdicts go to standard output in path order, the summary\n"
    "                     to standard error; exit status 0 only when all matched.\n"
    "                     With --format json, the verdicts are JSON objects (as -c\n"
    "                     writes them; \"moved_from\" names the entry moved)\n"
    "                       korvadex --audit photos.hashdeep -r photos\n"
    "                       korvadex --audit SHA256SUMS --quiet -r src\n"
    "      --cache        keep each file's digests beside it, in extended attributes\n"
    "                     (user.korvadex.sha256 and the like), with the size and\n"
    "                     the modification time it had: a file whose size and time\n"
    "                     are those recorded for every line wanted is not read again.\n"
    "                     For the report, its lists (--format) and --update; never\n"
    "                     with a key; -c, --audit and --check-embedded always read\n"
    "                     the files.  A record that did not change is not written\n"
    "                     again.  Not on Windows yet\n"
    "                       korvadex --cache -r --format json -a sha256 photos\n"
    "      --verify-cache read each file (or file of -r) that has cached digests and\n"
    "                     compare: \"ok\"; \"outdated\" (its size or time changed:\n"
    "                     the records are renewed); \"corrupt\" (same size and time,\n"
    "                     another value: bit rot); \"no cache\".  Exit status 3 when a\n"
    "                     file is corrupt, else 1 when one could not be read\n"
    "                       korvadex --verify-cache -r photos\n"
    "\n"
    "Runs split over machines, and runs taken up again (docs/scale.md):\n"
    "  -o, --output FILE  write the list (or the verdicts of --audit, of -c on one\n"
    "                     LIST or bag, of --check-embedded and of --verify-cache,\n"
    "                     or the names of --known and --unknown) to FILE, through\n"
    "                     FILE.partial beside it, one whole entry at a time,\n"
    "                     renamed into place when the run ends\n"
    "                       korvadex -r -a sha256 --format json -o all.json data\n"
    "      --resume       with -o, take up the FILE.partial that a run cut off\n"
    "                     left: its entries are kept and only the rest is hashed,\n"
    "                     and the result is that of a run never cut off.  The\n"
    "                     partial list of another run is refused; without\n"
    "                     --resume it is replaced\n"
    "                       korvadex -r --format json -o all.json --resume data\n"
    "      --shard K/N    take shard K (1 to N) of the inputs: of the files of -r,\n"
    "                     the FILEs, --files-from, the entries of --audit, and the\n"
    "                     lines of the one LIST of -c.  An input is in the shard\n"
    "                     that the first 8 bytes of the SHA-256 of its name\n"
    "                     (without a leading ./), big-endian, modulo N, plus 1\n"
    "                     give.  The shard writes a JSON list for --merge,\n"
    "                     whatever --format says, and says on standard error how\n"
    "                     it went and whether a rerun may mend it\n"
    "                       korvadex --shard 3/8 -r --format bsd -o s3.json data\n"
    "      --run-id TEXT  mark the lists of --shard or -o with TEXT, so that the\n"
    "                     shards of another run are never merged with them\n"
    "      --merge        write, from the lists of all N shards of a run, what the\n"
    "                     run on one machine writes, in its --format or the one\n"
    "                     given; for --audit its verdicts, files moved across\n"
    "                     shards paired; for -c its verdicts in the list's order\n"
    "                     and its summary.  Refuses lists of another run, a shard\n"
    "                     missing or given twice, an entry in two shards (exit 1)\n"
    "                       korvadex --merge -o data.bsd s*.json\n"
    "\n"
    "Bags:\n"
    "      --make-bag DIR make DIR a bag (BagIt 1.0) in place: its entries move into\n"
    "                     DIR/data, then bagit.txt, a manifest per algorithm (every\n"
    "                     file read once), bag-info.txt and the tag manifests are\n"
    "                     written.  -a names md5, sha1, sha256, sha384 or sha512\n"
    "                     (others are refused); sha512 by default.  On a bag, adds\n"
    "                     the manifests of -a once every existing one verifies.  A\n"
    "                     run killed at any point loses no file; run it again to\n"
    "                     finish (the manual says how)\n"
    "                       korvadex --make-bag -a sha256,sha512 collection\n"
    "                       korvadex --make-bag -a sha512 old-md5-bag\n"
    "\n"
    "Other commands:\n"
    "      --known LIST   print the name of each FILE (or file of -r, --files-from or\n"
    "                     --string) whose digest LIST holds, whatever name it gives:\n"
    "                     LIST is any list that -c reads.  The algorithm is the\n"
    "                     list's: of several, the strongest when every file of the\n"
    "                     list has it, else all (a file is known when any matches);\n"
    "                     -a chooses others, and names the algorithm of untagged\n"
    "                     values that several algorithms fit.  Exit status 0 when a\n"
    "                     name was printed\n"
    "                       korvadex --known known-good.sha256 -r /usr/bin\n"
    "      --unknown LIST print the name of each FILE whose digest LIST does not hold\n"
    "                       korvadex --unknown photos.json -r photos\n"
    "      --match HEX FILE...\n"
    "                     print the lines of each FILE's report whose value is HEX,\n"
    "                     such as a digest copied from a web page: either case,\n"
    "                     spaces and colons allowed; several lines of one width can\n"
    "                     match\n"
    "                       korvadex --match \"35 24 41 c2\" abc.txt\n"
    "      --list         show the exact algorithm variant behind each line, and the\n"
    "                     other names it is known by\n"
    "                       korvadex --list\n"
    "      --paths        with --list: show instead the way each line computes on\n"
    "                     this processor (its processor extensions, or portable)\n"
    "                       korvadex --list --paths\n"
    "      --self-test    check every line against published known-answer values\n"
    "                     and print one verdict per engine: the empty message and\n"
    "                     \"abc\" for every line; keyed, the test cases of RFC 2202\n"
    "                     (HMAC-MD5, HMAC-SHA-1), RFC 2286 (HMAC-RIPEMD-128 and\n"
    "                     -160) and RFC 4231 (HMAC-SHA-256, -384 and -512), the\n"
    "                     only lines for which keyed values are published\n"
    "                       korvadex --self-test\n"
    "      --tree DIR...  print one value of each directory DIR: the digest of a\n"
    "                     manifest of every entry below it, by name in byte order\n"
    "                     (files by their size and digest, directories, and symbolic\n"
    "                     links by their target, not followed unless --follow is\n"
    "                     given), as docs/tree-digest.md defines it; SHA-256 unless\n"
    "                     -a names others.  --exclude, --include, --max-depth and -x\n"
    "                     choose the entries as they choose the files of -r; a FIFO,\n"
    "                     socket or device in the tree is an error (leave it out with\n"
    "                     --exclude).  With --key, every digest is the HMAC.  The\n"
    "                     output is a report (\"Tree: DIR\", then a line per\n"
    "                     algorithm) or, with --tag, \"SHA256-TREE (DIR) = hex\"\n"
    "                       korvadex --tree --exclude .git/ src\n"
    "      --expect HEX   with --tree: check the one DIR's value against HEX (either\n"
    "                     case, spaces and colons allowed) and print \"DIR: OK\" or\n"
    "                     \"DIR: FAILED\"; exit status 1 when it differs\n"
    "                       korvadex --tree --exclude .git/ src --expect d038c94a...\n"
    "      --check-embedded\n"
    "                     check each FILE (or file of -r) against the CRC-32 its\n"
    "                     name carries, the CRC32 line that SFV lists hold: the last\n"
    "                     group of exactly eight hex digits, in any case, in [...] or\n"
    "                     (...) in the base name (never in a folder's name).  The\n"
    "                     verdicts are \"NAME: OK\", \"NAME: FAILED\" and \"NAME: no CRC\n"
    "                     in name\", which only --strict makes an error; --quiet and\n"
    "                     --status as with --check; -a adds lines of the report\n"
    "                     under each verdict\n"
    "                       korvadex --check-embedded -r anime\n"
    "      --embed-crc    rename each FILE (or file of -r) to carry its CRC-32 in\n"
    "                     upper-case hex before its last extension: \"name.ext\"\n"
    "                     becomes \"name [XXXXXXXX].ext\" (a name without extension,\n"
    "                     or a dotfile, gets it at the end).  A name that carries the\n"
    "                     right CRC is left as it is; one that carries another is\n"
    "                     refused (exit status 1); an existing file is never replaced\n"
    "                       korvadex --embed-crc episode-01.mkv\n"
    "  -h, --help         show this help\n"
    "  -V, --version      show the version\n"
    "\n"
    "-a, --lower/--upper, --key or --key-file, and --jobs also apply to --check and\n"
    "--match; --exclude and --include to --check, --files-from to --match.  Options\n"
    "may be repeated: the last --format, --lower or --upper wins, and -a, --string,\n"
    "--exclude and --include add up.\n"
    "\n"
    "Exit status: 0 when every file was reported (with --check, when every line is\n"
    "OK; with --match, when a line matched); 1 when a file could not be reported, a\n"
    "check failed or nothing matched; 2 for a usage error.\n"
    "--update exits 0 when it wrote the list and read every file, --audit when\n"
    "everything matched; --verify-cache exits 3 when a file is corrupt.\n";

const OptionSpec kOptionSpecs[] = {
    {"--lower", 0, false, Repeat::kAllowed},
    {"--upper", 0, false, Repeat::kAllowed},
    {"--algorithm", 'a', true, Repeat::kAllowed},
    {"--only", 0, true, Repeat::kAllowed},
    {"--format", 0, true, Repeat::kAllowed},
    {"--tag", 0, false, Repeat::kAllowed},
    {"--binary", 'b', false, Repeat::kAllowed},
    {"--text", 't', false, Repeat::kAllowed},
    {"--zero", 'z', false, Repeat::kAllowed},
    {"--recursive", 'r', false, Repeat::kAllowed},
    {"--follow", 0, false, Repeat::kAllowed},
    {"--exclude", 0, true, Repeat::kAllowed},
    {"--include", 0, true, Repeat::kAllowed},
    {"--max-depth", 0, true, Repeat::kOnce},
    {"--one-file-system", 'x', false, Repeat::kAllowed},
    {"--files-from", 0, true, Repeat::kOnce},
    {"--null", '0', false, Repeat::kAllowed},
    {"--string", 0, true, Repeat::kAllowed},
    {"--key", 0, true, Repeat::kOnce},
    {"--key-file", 0, true, Repeat::kOnce},
    {"--save", 0, true, Repeat::kOnce},
    {"--check", 'c', false, Repeat::kAllowed},
    {"--input", 0, true, Repeat::kOnce},
    {"--ignore-missing", 0, false, Repeat::kAllowed},
    {"--quiet", 0, false, Repeat::kAllowed},
    {"--status", 0, false, Repeat::kAllowed},
    {"--strict", 0, false, Repeat::kAllowed},
    {"--warn", 'w', false, Repeat::kAllowed},
    {"--match", 0, true, Repeat::kOnce},
    {"--list", 0, false, Repeat::kAllowed},
    {"--paths", 0, false, Repeat::kAllowed},
    {"--self-test", 0, false, Repeat::kAllowed},
    {"--version", 'V', false, Repeat::kAllowed},
    {"--help", 'h', false, Repeat::kAllowed},
    {"--jobs", 0, true, Repeat::kOnce},
    {"--update", 0, true, Repeat::kOnce},
    {"--rehash", 0, false, Repeat::kAllowed},
    {"--prune", 0, false, Repeat::kAllowed},
    {"--audit", 0, true, Repeat::kOnce},
    {"--known", 0, true, Repeat::kOnce},
    {"--unknown", 0, true, Repeat::kOnce},
    {"--tree", 0, false, Repeat::kAllowed},
    {"--expect", 0, true, Repeat::kOnce},
    {"--read-order", 0, true, Repeat::kOnce},
    {"--check-embedded", 0, false, Repeat::kAllowed},
    {"--embed-crc", 0, false, Repeat::kAllowed},
    {"--cache", 0, false, Repeat::kAllowed},
    {"--verify-cache", 0, false, Repeat::kAllowed},
    {"--make-bag", 0, false, Repeat::kAllowed},
    {"--fast", 0, false, Repeat::kAllowed},
    {"--shard", 0, true, Repeat::kOnce},
    {"--run-id", 0, true, Repeat::kOnce},
    {"--merge", 0, false, Repeat::kAllowed},
    {"--output", 'o', true, Repeat::kOnce},
    {"--resume", 0, false, Repeat::kAllowed},
};
const size_t kOptionSpecCount = sizeof kOptionSpecs / sizeof kOptionSpecs[0];

namespace {

// More threads than engines would have nothing to do; the bound only catches typing slips.
constexpr unsigned long kMaxJobs = 1024;

// A depth of the walk; more than this is surely a slip, and no path is that deep.
constexpr unsigned long kMaxDepth = 4096;

// The value of option: decimal digits, from 0 to max; range says what that is, for the error.
template <typename Count>
bool ParseCount(const std::string& option, const std::string& text, unsigned long max,
                const char* range, Count& count, std::string& error) {
    const bool digits = !text.empty() && text.size() <= 4 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const unsigned long value = digits ? std::stoul(text) : 0;
    if (!digits || value > max) {
        error = option + ": '" + text + "' is not " + range + " to " + std::to_string(max);
        return false;
    }
    count = Count(value);
    return true;
}

bool ParseHex(const std::string& option, const std::string& text, std::string& hex,
              std::string& error) {
    hex.clear();
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == ':') continue;
        if (c >= 'a' && c <= 'f') c = char(c - 'a' + 'A');
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            error = option + ": '" + text + "' is not a hex value (digits 0-9 and A-F)";
            return false;
        }
        hex += c;
    }
    if (hex.empty()) {
        error = option + ": the value is empty";
        return false;
    }
    if (hex.size() % 2 != 0) {
        error = option + ": '" + text + "' has an odd number of hex digits";
        return false;
    }
    return true;
}

bool ParseFormat(const std::string& text, OutputFormat& format, std::string& error) {
    if (const ListFormat* found = FindFormat(text)) {
        format = found->format;
        return true;
    }
    error = "--format: '" + text + "' is not a format; the formats are ";
    for (size_t i = 0; i < kListFormatCount; ++i) {
        error += (i == 0 ? "" : ", ") + std::string(kListFormats[i].name);
    }
    return false;
}

const char* CommandOption(Command command) {
    switch (command) {
        case Command::kCheck:
            return "--check";
        case Command::kMatch:
            return "--match";
        case Command::kKnown:
            return "--known";
        case Command::kList:
            return "--list";
        case Command::kSelfTest:
            return "--self-test";
        case Command::kVersion:
            return "--version";
        case Command::kUpdate:
            return "--update";
        case Command::kAudit:
            return "--audit";
        case Command::kTree:
            return "--tree";
        case Command::kCheckEmbedded:
            return "--check-embedded";
        case Command::kEmbedCrc:
            return "--embed-crc";
        case Command::kVerifyCache:
            return "--verify-cache";
        case Command::kMakeBag:
            return "--make-bag";
        case Command::kMerge:
            return "--merge";
        case Command::kReport:
        case Command::kHelp:
            break;
    }
    return "";
}

bool SetCommand(Options& options, Command command, std::string& error) {
    if (options.command != Command::kReport && options.command != command) {
        error = std::string(CommandOption(options.command)) + " and " + CommandOption(command) +
                " cannot be used together";
        return false;
    }
    options.command = command;
    return true;
}

// What was given, beyond the fields of Options, for the checks of the combination.
struct Given {
    std::vector<std::string> names;  // every option given, by its long name
    bool Has(const char* name) const {
        return std::find(names.begin(), names.end(), name) != names.end();
    }
};

// The lines of --format hashdeep: those of -a, each of which hashdeep must know; without -a,
// md5 and sha256, as hashdeep writes by default.
bool HashdeepAlgorithms(Options& options, std::string& error) {
    size_t known = 0;
    std::string names;
    for (size_t line : HashdeepLines()) {
        known += size_t(std::count(options.only.begin(), options.only.end(), line));
        names += std::string(names.empty() ? "" : ", ") + HashdeepColumn(line);
    }
    if (known != options.only.size()) {
        error = "--format hashdeep holds only the algorithms hashdeep knows: " + names;
        return false;
    }
    if (options.only.empty()) {
        options.only = {size_t(FindAlgorithm("md5")), size_t(FindAlgorithm("sha256"))};
        std::sort(options.only.begin(), options.only.end());
    }
    return true;
}

// --shard K/N: K from 1 to N.
bool ParseShard(const std::string& value, Options& options, std::string& error) {
    const size_t slash = value.find('/');
    const auto number = [](const std::string& text, uint64_t& count) {
        if (text.empty() || text.size() > 9 ||
            text.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        count = std::stoull(text);
        return true;
    };
    uint64_t k = 0, n = 0;
    if (slash == std::string::npos || !number(value.substr(0, slash), k) ||
        !number(value.substr(slash + 1), n) || n == 0 || k == 0 || k > n) {
        error = "--shard: '" + value + "' is not K/N with K from 1 to N (for example 3/8)";
        return false;
    }
    options.shardK = k;
    options.shardN = n;
    return true;
}

// Checks the options of --update and --audit, which walk the operands as -r does and keep a
// list in its own format.
bool KeepingFits(const Options& options, const Given& given, std::string& error) {
    const char* name = CommandOption(options.command);
    if (!options.strings.empty() || options.zero) {
        error = std::string(name) +
                " takes no --string or -z: it looks at files, and the list keeps its own line ends";
        return false;
    }
    if (options.command == Command::kAudit &&
        ((given.Has("--format") && options.format != OutputFormat::kJson) || given.Has("--tag") ||
         given.Has("--binary") || given.Has("--text"))) {
        error =
            "--audit takes no --format but json (its verdicts as JSON), --tag, -b or -t: the "
            "list gives its own";
        return false;
    }
    if (options.keptList == "-") {
        error = std::string(name) + " takes a list in a file, not standard input";
        return false;
    }
    return true;
}

// The options of --tree: the walk's without -r, a report or bsd lines, SHA-256 unless -a names
// lines, and --expect for one value.
bool CheckTree(Options& options, const Given& given, std::string& error) {
    if (!options.strings.empty() || !options.savePath.empty() || !options.filesFrom.empty() ||
        options.null || given.Has("--binary") || given.Has("--text")) {
        error = "--tree takes no --string, --save, --files-from, -0, -b or -t: it walks each DIR";
        return false;
    }
    if (options.format != OutputFormat::kReport && options.format != OutputFormat::kBsd) {
        error = std::string("--tree writes a report or bsd lines (--tag); --format ") +
                FormatOf(options.format).name + " holds the values of files, not of trees";
        return false;
    }
    if (options.zero && options.format == OutputFormat::kReport) {
        error = "-z (--zero) ends the lines of --format bsd; the report takes none";
        return false;
    }
    if (options.files.empty()) {
        error = "--tree takes at least one DIR";
        return false;
    }
    if (std::count(options.files.begin(), options.files.end(), "-") != 0) {
        error = "--tree walks directories; standard input (-) is none";
        return false;
    }
    if (options.only.empty()) options.only.assign(1, size_t(FindAlgorithm("sha256")));
    if (!options.expectHex.empty() && (options.files.size() != 1 || options.only.size() != 1)) {
        error = "--expect checks the value of one DIR under one algorithm (-a)";
        return false;
    }
    return true;
}

// The options of --check-embedded, --embed-crc and --verify-cache, which look at files by
// their paths: the walk's, and none that writes lists or keys values.
bool ByPathFits(const Options& options, bool outputOptions, std::string& error) {
    const char* name = CommandOption(options.command);
    if (!options.strings.empty() || outputOptions || options.keyed) {
        error = std::string(name) +
                " takes no --string, --format, --tag, -b, -t, -z, --key or --key-file: it "
                "looks at the plain values of files by their paths";
        return false;
    }
    if (options.command == Command::kEmbedCrc && !options.only.empty()) {
        error = "--embed-crc puts the CRC-32 in names; it takes no -a";
        return false;
    }
    if (options.files.empty() && options.filesFrom.empty()) {
        error = std::string(name) +
                " takes the files to look at: FILE operands, -r DIR or "
                "--files-from";
        return false;
    }
    if (std::count(options.files.begin(), options.files.end(), "-") != 0) {
        error = std::string(name) + " looks at names; standard input (-) has none";
        return false;
    }
    return true;
}

// The options of --make-bag: one folder, and the algorithms a bag may carry.
bool MakeBagFits(const Options& options, const Given& given, std::string& error) {
    for (const std::string& option : given.names) {
        if (option != "--make-bag" && option != "--algorithm" && option != "--only" &&
            option != "--jobs" && option != "--read-order") {
            error = "--make-bag takes -a, --jobs and --read-order only, not " + option;
            return false;
        }
    }
    if (options.files.size() != 1 || options.files[0] == "-") {
        error = "--make-bag makes one folder a bag: give exactly one DIR";
        return false;
    }
    for (size_t line : options.only) {
        if (BagAlgorithm(PlainName(line)) < 0) {
            error =
                "--make-bag: a bag carries md5, sha1, sha256, sha384 and sha512 only, the "
                "algorithms with a name that every bag tool reads; " +
                LineName(kReportLines[line]) + " has none";
            return false;
        }
    }
    return true;
}

// --cache and --verify-cache: a cache of plain digests, where the system keeps attributes.
bool CacheFits(const Options& options, std::string& error) {
    if (!HasUserAttributes()) {
        error =
            "the digest cache is kept in extended attributes, which this build does not "
            "keep on Windows yet";
        return false;
    }
    if (!options.cache) return true;
    if (options.command != Command::kReport && options.command != Command::kUpdate) {
        error = std::string("--cache serves the digests of lists and reports, and --update; ") +
                CommandOption(options.command) +
                " reads every file (a cached value is never evidence)";
        return false;
    }
    if (options.keyed) {
        error = "--cache keeps plain digests: keyed values are never cached";
        return false;
    }
    return true;
}

// --merge: the lists of shards as operands, and the options that choose how the merged
// list is written.
bool MergeFits(const Options& options, const Given& given, std::string& error) {
    for (const std::string& option : given.names) {
        if (option != "--merge" && option != "--format" && option != "--tag" &&
            option != "--zero" && option != "--binary" && option != "--text" &&
            option != "--lower" && option != "--upper" && option != "--output") {
            error =
                "--merge takes --format, --tag, -z, -b, -t, --lower, --upper and -o only, "
                "not " +
                option + ": the shards' lists say the rest";
            return false;
        }
    }
    if (options.files.empty()) {
        error = "--merge takes the lists of the shards";
        return false;
    }
    if (std::count(options.files.begin(), options.files.end(), "-") != 0) {
        error = "--merge reads the shards' lists twice, as files; standard input (-) cannot be";
        return false;
    }
    return true;
}

// --shard, --run-id, -o and --resume.
bool SplitFits(const Options& options, const Given& given, std::string& error) {
    const Command command = options.command;
    const bool sharded = options.shardN != 0;
    const bool output = !options.outputPath.empty();
    if ((sharded || output) && command != Command::kReport && command != Command::kAudit &&
        command != Command::kUpdate && command != Command::kCheck && command != Command::kKnown &&
        command != Command::kCheckEmbedded && command != Command::kVerifyCache) {
        error = std::string(sharded ? "--shard" : "-o (--output)") + " cannot be used with " +
                CommandOption(command) + " yet";
        return false;
    }
    // The verdicts of a check go in the list's order, one list to a shard's list.
    if ((sharded || output) && command == Command::kCheck && options.files.size() != 1) {
        error = std::string(sharded ? "--shard" : "-o (--output)") + " takes one list to check";
        return false;
    }
    if (options.resume && ((command == Command::kCheck &&
                            std::count(options.files.begin(), options.files.end(), "-") != 0) ||
                           (command == Command::kKnown && options.knownList == "-"))) {
        error = "--resume reads the list again; standard input (-) cannot be";
        return false;
    }
    if ((sharded || output) && !options.savePath.empty()) {
        error = "--save writes the report of one FILE; it takes no --shard or -o";
        return false;
    }
    if (sharded && options.files.empty() && options.filesFrom.empty() && options.strings.empty()) {
        error = "--shard takes its share of the FILEs given, and none is";
        return false;
    }
    if (sharded && std::count(options.files.begin(), options.files.end(), "-") != 0) {
        error = "--shard shares out inputs by name; standard input (-) has none";
        return false;
    }
    if (options.resume && !output) {
        error = "--resume takes up the FILE.partial of -o FILE: give -o";
        return false;
    }
    if (given.Has("--run-id") && !sharded && !output) {
        error = "--run-id marks the list of --shard or -o";
        return false;
    }
    return true;
}

// Checks that the options given fit the command.
bool CheckCombination(Options& options, const Given& given, std::string& error) {
    const Command command = options.command;
    const char* name = CommandOption(command);
    const bool modifiers = options.hexCase != HexCase::kDefault || !options.only.empty() ||
                           options.keyed || options.jobsGiven || options.readOrderGiven;
    // -c --format json: the verdicts as JSON lines.
    const bool jsonVerdicts = command == Command::kCheck && options.format == OutputFormat::kJson;
    const bool outputOptions = (given.Has("--format") && !jsonVerdicts) || given.Has("--tag") ||
                               given.Has("--zero") || given.Has("--binary") || given.Has("--text");
    const bool inputOptions = options.recursive || options.follow || !options.strings.empty();
    const bool walkOptions = options.maxDepth >= 0 || options.oneFileSystem;
    const bool namesFrom = !options.filesFrom.empty() || options.null;
    const bool keeping = command == Command::kUpdate || command == Command::kAudit;
    for (const char* checkOnly :
         {"--input", "--ignore-missing", "--quiet", "--status", "--strict", "--warn"}) {
        // --audit gives verdicts as --check does, with the same two options.
        const bool audits = command == Command::kAudit && (std::string(checkOnly) == "--quiet" ||
                                                           std::string(checkOnly) == "--status");
        // --check-embedded gives verdicts too, and --strict counts names without a CRC.
        const bool embedded =
            command == Command::kCheckEmbedded && std::string(checkOnly) != "--input" &&
            std::string(checkOnly) != "--ignore-missing" && std::string(checkOnly) != "--warn";
        if (command != Command::kCheck && given.Has(checkOnly) && !audits && !embedded) {
            error = std::string("the ") + checkOnly +
                    " option is meaningful only when verifying checksums (--check)";
            return false;
        }
    }
    if (command == Command::kMerge) return MergeFits(options, given, error);
    if (!SplitFits(options, given, error)) return false;
    if (!options.expectHex.empty() && command != Command::kTree) {
        error = "--expect checks the value of --tree";
        return false;
    }
    if (command == Command::kList || command == Command::kSelfTest ||
        command == Command::kVersion) {
        if (modifiers || outputOptions || inputOptions || walkOptions || namesFrom ||
            !options.filter.Empty() || !options.savePath.empty()) {
            error = std::string(name) + " takes no other options";
            return false;
        }
        if (!options.files.empty()) {
            error = std::string(name) + " takes no FILE";
            return false;
        }
        if (options.paths && command != Command::kList) {
            error = "--paths goes with --list only";
            return false;
        }
        return true;
    }
    if (options.paths) {
        error = "--paths goes with --list only";
        return false;
    }
    if (command != Command::kUpdate && (options.rehash || options.prune)) {
        error = "--rehash and --prune go with --update only";
        return false;
    }
    if (command == Command::kTree) return CheckTree(options, given, error);
    if (command == Command::kMakeBag) return MakeBagFits(options, given, error);
    if (options.fast && command != Command::kCheck) {
        error = "--fast goes with -c (--check) of a bag";
        return false;
    }
    const bool byPath = command == Command::kCheckEmbedded || command == Command::kEmbedCrc ||
                        command == Command::kVerifyCache;
    if (byPath && !ByPathFits(options, outputOptions, error)) return false;
    if ((options.cache || command == Command::kVerifyCache) && !CacheFits(options, error)) {
        return false;
    }
    if (command != Command::kReport && !options.savePath.empty()) {
        error = std::string("--save cannot be used with ") + name;
        return false;
    }
    if (keeping && !KeepingFits(options, given, error)) return false;
    if (command == Command::kKnown && outputOptions) {
        error = "--known and --unknown take no --format, --tag, -b, -t or -z";
        return false;
    }
    if (command != Command::kReport && !keeping && !byPath &&
        (outputOptions || (inputOptions && command != Command::kKnown))) {
        error =
            std::string(name) + " takes no --format, --tag, -b, -t, -z, -r, --follow or --string";
        return false;
    }
    if (command == Command::kCheck && (walkOptions || namesFrom)) {
        error = "--check takes no --max-depth, -x, --files-from or -0: the lists name the files";
        return false;
    }
    if (!options.filter.Empty() && !options.recursive && command != Command::kCheck && !keeping) {
        error =
            "--exclude and --include choose the files of -r (--recursive) or the entries "
            "of --check";
        return false;
    }
    if (walkOptions && !options.recursive) {
        error = "--max-depth and -x (--one-file-system) steer the walk of -r (--recursive)";
        return false;
    }
    if (options.null && options.filesFrom.empty()) {
        error = "-0 (--null) tells how the names of --files-from end; give --files-from";
        return false;
    }
    if (options.follow && !options.recursive) {
        error = "--follow works with -r (--recursive) only";
        return false;
    }
    const bool namesGiven = !options.files.empty() || !options.filesFrom.empty();
    if (options.recursive && !namesGiven) {
        error = "-r (--recursive) walks the FILEs given, and none is";
        return false;
    }
    if (options.zero && FormatOf(options.format).write == nullptr) {
        error = std::string("-z (--zero) ends the lines of --format gnu, bsd or sfv; ") +
                (options.format == OutputFormat::kReport
                     ? std::string("the report")
                     : std::string("--format ") + FormatOf(options.format).name) +
                " takes none";
        return false;
    }
    if ((given.Has("--binary") || given.Has("--text")) && options.format != OutputFormat::kGnu) {
        error = "-b (--binary) and -t (--text) mark the names of --format gnu only";
        return false;
    }
    if (command == Command::kMatch && !namesGiven) {
        error = "--match takes a value and at least one FILE";
        return false;
    }
    if (keeping && !namesGiven) {
        error = std::string(name) +
                " takes the files to look at: -r DIR, FILE operands or --files-from";
        return false;
    }
    options.noOperands = !namesGiven && options.strings.empty();
    if (options.noOperands && command != Command::kMatch) options.files.push_back("-");
    if (!options.savePath.empty()) {
        if (options.format != OutputFormat::kReport) {
            error = "--save writes a report: it takes no other --format";
            return false;
        }
        if (options.files.size() != 1 || !options.strings.empty() || options.recursive ||
            !options.filesFrom.empty()) {
            error = "--save takes exactly one FILE";
            return false;
        }
    }
    const ListFormat& format = FormatOf(options.format);
    const std::string formatOption = std::string("--format ") + format.name;
    if (format.oneAlgorithm && options.only.size() != 1) {
        error = formatOption +
                " writes one algorithm: name exactly one with -a (for example -a sha256)";
        return false;
    }
    if (format.onlyAlgorithm != nullptr) {
        const size_t line = size_t(FindAlgorithm(format.onlyAlgorithm));
        if (!options.only.empty() && (options.only.size() != 1 || options.only[0] != line)) {
            error = formatOption + " holds " + LineName(kReportLines[line]) + " (" +
                    format.onlyAlgorithm + ") only";
            return false;
        }
        options.only.assign(1, line);
    }
    if (options.format == OutputFormat::kHashdeep && !HashdeepAlgorithms(options, error)) {
        return false;
    }
    if (options.keyed && !format.keyed) {
        error = formatOption +
                " cannot hold keyed values: its lines cannot say that a value is keyed, so "
                "every reader would take them for plain ones";
        return false;
    }
    if (std::count(options.files.begin(), options.files.end(), "-") +
            (options.keyFile == "-" ? 1 : 0) + (options.checkInput == "-" ? 1 : 0) +
            (options.filesFrom == "-" ? 1 : 0) + (options.knownList == "-" ? 1 : 0) >
        1) {
        error = "standard input (-) can be read only once";
        return false;
    }
    return true;
}

const OptionSpec* FindSpec(const std::string& name) {
    for (const OptionSpec& s : kOptionSpecs) {
        if (name == s.name) return &s;
    }
    return nullptr;
}

const OptionSpec* FindShort(char c) {
    for (const OptionSpec& s : kOptionSpecs) {
        if (s.shortName != 0 && s.shortName == c) return &s;
    }
    return nullptr;
}

// Applies one option with its value.
bool Apply(const OptionSpec& spec, const std::string& value, Options& options, std::string& error) {
    const std::string name = spec.name;
    if (value.empty() &&
        (name == "--key-file" || name == "--save" || name == "--input" || name == "--files-from")) {
        error = name + ": no file named";
        return false;
    }
    if (name == "--lower") {
        options.hexCase = HexCase::kLower;
    } else if (name == "--upper") {
        options.hexCase = HexCase::kUpper;
    } else if (name == "--algorithm" || name == "--only") {
        options.algorithmsGiven = true;
        if (!ParseAlgorithmList(value, options.only, error)) {
            error = name + ": " + error;
            return false;
        }
    } else if (name == "--format") {
        return ParseFormat(value, options.format, error);
    } else if (name == "--tag") {
        options.format = OutputFormat::kBsd;
    } else if (name == "--binary") {
        options.binary = true;
    } else if (name == "--text") {
        options.binary = false;
    } else if (name == "--zero") {
        options.zero = true;
    } else if (name == "--recursive") {
        options.recursive = true;
    } else if (name == "--follow") {
        options.follow = true;
    } else if (name == "--exclude" || name == "--include") {
        if (value.empty()) {
            error = name + ": the pattern is empty";
            return false;
        }
        options.filter.Add(value, name == "--include");
    } else if (name == "--max-depth") {
        return ParseCount(name, value, kMaxDepth, "a depth from 0 (the FILE itself)",
                          options.maxDepth, error);
    } else if (name == "--one-file-system") {
        options.oneFileSystem = true;
    } else if (name == "--files-from") {
        options.filesFrom = value;
    } else if (name == "--null") {
        options.null = true;
    } else if (name == "--string") {
        options.strings.push_back(value);
    } else if (name == "--key" || name == "--key-file") {
        if (options.keyed) {
            error = "--key and --key-file cannot be used together";
            return false;
        }
        options.keyed = true;
        if (name == "--key") {
            options.keyText = value;
            if (value.empty()) {
                error = "--key: the key is empty (leave --key out for the unkeyed report)";
                return false;
            }
        } else {
            options.keyFile = value;
        }
    } else if (name == "--jobs") {
        options.jobsGiven = true;
        return ParseCount(name, value, kMaxJobs, "a number of threads from 0 (one per core)",
                          options.jobs, error);
    } else if (name == "--read-order") {
        options.readOrderGiven = true;
        if (value == "auto") {
            options.readOrder = ReadOrder::kAuto;
        } else if (value == "parallel") {
            options.readOrder = ReadOrder::kParallel;
        } else if (value == "sequential") {
            options.readOrder = ReadOrder::kSequential;
        } else {
            error = "--read-order: '" + value + "' is not auto, parallel or sequential";
            return false;
        }
    } else if (name == "--save") {
        options.savePath = value;
    } else if (name == "--input") {
        options.checkInput = value;
    } else if (name == "--check") {
        return SetCommand(options, Command::kCheck, error);
    } else if (name == "--ignore-missing") {
        options.ignoreMissing = true;
    } else if (name == "--quiet") {
        options.quiet = true;
    } else if (name == "--status") {
        options.status = true;
    } else if (name == "--strict") {
        options.strict = true;
    } else if (name == "--warn") {
        options.warn = true;
    } else if (name == "--match") {
        return ParseHex(name, value, options.matchHex, error) &&
               SetCommand(options, Command::kMatch, error);
    } else if (name == "--known" || name == "--unknown") {
        if (!options.knownList.empty()) {
            error = "--known and --unknown cannot be used together";
            return false;
        }
        if (value.empty()) {
            error = name + ": no list named";
            return false;
        }
        options.knownList = value;
        options.knownWanted = name == "--known";
        return SetCommand(options, Command::kKnown, error);
    } else if (name == "--list") {
        return SetCommand(options, Command::kList, error);
    } else if (name == "--paths") {
        options.paths = true;
    } else if (name == "--self-test") {
        return SetCommand(options, Command::kSelfTest, error);
    } else if (name == "--version") {
        return SetCommand(options, Command::kVersion, error);
    } else if (name == "--update" || name == "--audit") {
        if (value.empty()) {
            error = name + ": no list named";
            return false;
        }
        options.keptList = value;
        return SetCommand(options, name == "--update" ? Command::kUpdate : Command::kAudit, error);
    } else if (name == "--rehash") {
        options.rehash = true;
    } else if (name == "--prune") {
        options.prune = true;
    } else if (name == "--tree") {
        return SetCommand(options, Command::kTree, error);
    } else if (name == "--check-embedded") {
        return SetCommand(options, Command::kCheckEmbedded, error);
    } else if (name == "--embed-crc") {
        return SetCommand(options, Command::kEmbedCrc, error);
    } else if (name == "--make-bag") {
        return SetCommand(options, Command::kMakeBag, error);
    } else if (name == "--fast") {
        options.fast = true;
    } else if (name == "--cache") {
        options.cache = true;
    } else if (name == "--verify-cache") {
        return SetCommand(options, Command::kVerifyCache, error);
    } else if (name == "--expect") {
        return ParseHex(name, value, options.expectHex, error);
    } else if (name == "--shard") {
        return ParseShard(value, options, error);
    } else if (name == "--run-id") {
        if (value.empty()) {
            error = "--run-id: the text is empty";
            return false;
        }
        options.runId = value;
    } else if (name == "--merge") {
        return SetCommand(options, Command::kMerge, error);
    } else if (name == "--output") {
        if (value.empty() || value == "-") {
            error =
                "--output: name the file to write (without -o the output goes to standard "
                "output)";
            return false;
        }
        options.outputPath = value;
    } else if (name == "--resume") {
        options.resume = true;
    } else if (name == "--help") {
        options.command = Command::kHelp;
    }
    return true;
}

// Whether an option belongs to how a run is split or resumed rather than to what it
// computes: the run on one machine is the same without it.
bool SplitsOrResumes(const std::string& name) {
    return name == "--shard" || name == "--output" || name == "--resume" || name == "--run-id";
}

}  // namespace

WalkOptions WalkOf(const Options& options) {
    WalkOptions walk;
    walk.follow = options.follow;
    walk.oneFileSystem = options.oneFileSystem;
    walk.maxDepth = options.maxDepth;
    if (!options.filter.Empty()) {
        const PathFilter& filter = options.filter;
        walk.takes = [&filter](const std::string& relative, bool directory) {
            return filter.Takes(relative, directory);
        };
    }
    walk.complain = PrintError;
    return walk;
}

bool GivenFiles(const Options& options, std::vector<std::string>& files,
                std::vector<uint64_t>* operands) {
    bool ok = true;
    const WalkOptions walk = WalkOf(options);
    for (size_t i = 0; i < options.files.size(); ++i) {
        const std::string& path = options.files[i];
        if (!options.recursive) {
            files.push_back(path);
        } else if (!WalkFiles(path, walk, files)) {
            ok = false;
        }
        if (operands != nullptr) operands->resize(files.size(), i);
    }
    return ok;
}

bool LowerHex(const Options& options) {
    if (options.hexCase != HexCase::kDefault) return options.hexCase == HexCase::kLower;
    return FormatOf(options.format).lowerHex;
}

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
    options = Options();
    options.arguments = args;
    Given given;
    bool operandsOnly = false;
    // One option with its value: from "--name=value", "--name value", "-aVALUE" or "-a VALUE".
    auto take = [&](const OptionSpec& spec, const std::string& shown, bool hasInline,
                    const std::string& inlineValue, size_t& i) {
        std::string value;
        if (spec.takesValue) {
            if (hasInline) {
                value = inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                error = shown + " needs a value";
                return false;
            }
        } else if (hasInline) {
            error = shown + " takes no value";
            return false;
        }
        if (spec.repeat == Repeat::kOnce && given.Has(spec.name)) {
            error = std::string(spec.name) + " is given twice";
            return false;
        }
        given.names.push_back(spec.name);
        return Apply(spec, value, options, error);
    };
    std::vector<std::string>& job = options.jobArguments;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (operandsOnly || arg == "-" || arg.empty() || arg[0] != '-') {
            options.files.push_back(arg);
            job.push_back(arg);
            continue;
        }
        job.push_back(arg);
        if (arg == "--") {
            operandsOnly = true;
            continue;
        }
        if (arg[1] != '-') {
            // Short options, grouped as in -cw; one that takes a value takes the rest.  The
            // run on one machine keeps the group without -o and its value.
            job.pop_back();
            std::string kept = "-";
            std::string separate;  // a value given as the next argument
            bool hasSeparate = false;
            for (size_t j = 1; j < arg.size(); ++j) {
                const OptionSpec* spec = FindShort(arg[j]);
                if (spec == nullptr) {
                    error = std::string("unknown option '-") + arg[j] + "'";
                    return false;
                }
                const std::string shown = std::string("-") + arg[j];
                const bool rest = spec->takesValue && j + 1 < arg.size();
                if (!take(*spec, shown, rest, rest ? arg.substr(j + 1) : "", i)) return false;
                if (options.command == Command::kHelp) return true;
                if (!SplitsOrResumes(spec->name)) {
                    kept += rest ? arg.substr(j) : arg.substr(j, 1);
                    if (spec->takesValue && !rest) {
                        separate = args[i];
                        hasSeparate = true;
                    }
                }
                if (spec->takesValue) break;
            }
            if (kept.size() > 1) job.push_back(kept);
            if (hasSeparate) job.push_back(separate);
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionSpec* spec = FindSpec(name);
        if (spec == nullptr) {
            error = "unknown option '" + name + "'";
            return false;
        }
        const bool hasInline = equals != std::string::npos;
        const size_t first = i;
        if (!take(*spec, name, hasInline, hasInline ? arg.substr(equals + 1) : "", i)) {
            return false;
        }
        if (SplitsOrResumes(spec->name)) {
            job.pop_back();
        } else if (i != first) {
            job.push_back(args[i]);
        }
        if (options.command == Command::kHelp) return true;
    }
    return CheckCombination(options, given, error);
}
