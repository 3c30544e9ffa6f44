#include "known_answers.h"

#include <cstring>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

template <size_t N>
constexpr KnownAnswerList Answers(const KnownAnswer (&cases)[N], const char* source) {
    return {cases, N, source};
}

const char kSha0Source[] =
    "\"abc\": FIPS 180 (1993), appendix A; the empty message: no published value found, the "
    "engine's own";
const char kSha1Source[] =
    "\"abc\": FIPS 180-1, appendix A; the empty message: equal to Python hashlib; keyed: "
    "RFC 2202";
const char kTigerSource[] = "the test values published with Tiger (1996)";
const char kWhirlpoolSource[] = "the ISO/IEC 10118-3 test vectors published with Whirlpool";
const char kLargeKeyFirst[] = "Test Using Larger Than Block-Size Key - Hash Key First";
const char kLargeKeyAndData[] =
    "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data";
const char kLargeKeyAndData4231[] =
    "This is a test using a larger than block-size key and a larger than block-size data. "
    "The key needs to be hashed before being used by the HMAC algorithm.";

const char kZlibSource[] = "equal to zlib's; \"123456789\" is the catalogue check input";
const char kCrcCatalogueSource[] =
    "\"123456789\": the check value of the catalogue of parametrised CRCs; the empty message "
    "and \"abc\" by the catalogue's parameters";
const char kPhpHashSource[] = "equal to PHP's hash extension";
const char kRipemdSource[] = "the test values published with RIPEMD-160 (1996)";
const char kRipemdKeyedSource[] =
    "the test values published with RIPEMD-160 (1996); keyed: RFC 2286";
const char kSha2Source[] =
    "\"abc\": FIPS 180-2, appendices B to D; the empty message: equal to Python hashlib; "
    "keyed: RFC 4231";
const char kSnefru8Source[] = "equal to rhash and PHP's hash extension";
const char kSnefru4Source[] =
    "no published value found: the values the engine gave when it was written, kept to catch "
    "a change";

const KnownAnswer kAdler32Cases[] = {
    {"the empty message", NoBytes(), Text(""), "00000001"},
    {"\"abc\"", NoBytes(), Text("abc"), "024D0127"},
    {"\"123456789\"", NoBytes(), Text("123456789"), "091E01DE"},
};
const KnownAnswer kCrc16Cases[] = {
    {"the empty message", NoBytes(), Text(""), "0000"},
    {"\"abc\"", NoBytes(), Text("abc"), "9738"},
    {"\"123456789\"", NoBytes(), Text("123456789"), "BB3D"},
};
const KnownAnswer kCrc16CcittCases[] = {
    {"the empty message", NoBytes(), Text(""), "FFFF"},
    {"\"abc\"", NoBytes(), Text("abc"), "514A"},
    {"\"123456789\"", NoBytes(), Text("123456789"), "29B1"},
};
const KnownAnswer kCrc32Cases[] = {
    {"the empty message", NoBytes(), Text(""), "00000000"},
    {"\"abc\"", NoBytes(), Text("abc"), "352441C2"},
    {"\"123456789\"", NoBytes(), Text("123456789"), "CBF43926"},
};
const KnownAnswer kCrc32bCases[] = {
    {"the empty message", NoBytes(), Text(""), "00000000"},
    {"\"abc\"", NoBytes(), Text("abc"), "648CBB73"},
    {"\"123456789\"", NoBytes(), Text("123456789"), "FC891918"},
};
const KnownAnswer kGostCases[] = {
    {"the empty message", NoBytes(), Text(""),
     "CE85B99CC46752FFFEE35CAB9A7B0278ABB4C2D2055CFF685AF4912C49490F8D"},
    {"\"abc\"", NoBytes(), Text("abc"),
     "F3134348C44FB1B2A277729E2285EBB5CB5E0F29C975BC753B70497C06A4D51D"},
};
const KnownAnswer kHaval128_3Cases[] = {
    {"the empty message", NoBytes(), Text(""), "C68F39913F901F3DDF44C707357A7D70"},
    {"\"abc\"", NoBytes(), Text("abc"), "9E40ED883FB63E985D299B40CDA2B8F2"},
};
const KnownAnswer kHaval128_4Cases[] = {
    {"the empty message", NoBytes(), Text(""), "EE6BBF4D6A46A679B3A856C88538BB98"},
    {"\"abc\"", NoBytes(), Text("abc"), "6F2132867C9648419ADCD5013E532FA2"},
};
const KnownAnswer kHaval128_5Cases[] = {
    {"the empty message", NoBytes(), Text(""), "184B8482A0C050DCA54B59C7F05BF5DD"},
    {"\"abc\"", NoBytes(), Text("abc"), "D054232FE874D9C6C6DC8E6A853519EA"},
};
const KnownAnswer kHaval160_3Cases[] = {
    {"the empty message", NoBytes(), Text(""), "D353C3AE22A25401D257643836D7231A9A95F953"},
    {"\"abc\"", NoBytes(), Text("abc"), "B21E876C4D391E2A897661149D83576B5530A089"},
};
const KnownAnswer kHaval160_4Cases[] = {
    {"the empty message", NoBytes(), Text(""), "1D33AAE1BE4146DBAACA0B6E70D7A11F10801525"},
    {"\"abc\"", NoBytes(), Text("abc"), "77ACA22F5B12CC09010AFC9C0797308638B1CB9B"},
};
const KnownAnswer kHaval160_5Cases[] = {
    {"the empty message", NoBytes(), Text(""), "255158CFC1EED1A7BE7C55DDD64D9790415B933B"},
    {"\"abc\"", NoBytes(), Text("abc"), "AE646B04845E3351F00C5161D138940E1FA0C11C"},
};
const KnownAnswer kHaval192_3Cases[] = {
    {"the empty message", NoBytes(), Text(""), "E9C48D7903EAF2A91C5B350151EFCB175C0FC82DE2289A4E"},
    {"\"abc\"", NoBytes(), Text("abc"), "A7B14C9EF3092319B0E75E3B20B957D180BF20745629E8DE"},
};
const KnownAnswer kHaval192_4Cases[] = {
    {"the empty message", NoBytes(), Text(""), "4A8372945AFA55C7DEAD800311272523CA19D42EA47B72DA"},
    {"\"abc\"", NoBytes(), Text("abc"), "7E29881ED05C915903DD5E24A8E81CDE5D910142AE66207C"},
};
const KnownAnswer kHaval192_5Cases[] = {
    {"the empty message", NoBytes(), Text(""), "4839D0626F95935E17EE2FC4509387BBE2CC46CB382FFE85"},
    {"\"abc\"", NoBytes(), Text("abc"), "D12091104555B00119A8D07808A3380BF9E60018915B9025"},
};
const KnownAnswer kHaval224_3Cases[] = {
    {"the empty message", NoBytes(), Text(""),
     "C5AAE9D47BFFCAAF84A8C6E7CCACD60A0DD1932BE7B1A192B9214B6D"},
    {"\"abc\"", NoBytes(), Text("abc"), "5BC955220BA2346A948D2848ECA37BDD5ECA6ECCA7B594BD32923FAB"},
};
const KnownAnswer kHaval224_4Cases[] = {
    {"the empty message", NoBytes(), Text(""),
     "3E56243275B3B81561750550E36FCD676AD2F5DD9E15F2E89E6ED78E"},
    {"\"abc\"", NoBytes(), Text("abc"), "124C43D2BA4884599D013E8C872BFEA4C88B0B6BF6303974CBE04E68"},
};
const KnownAnswer kHaval224_5Cases[] = {
    {"the empty message", NoBytes(), Text(""),
     "4A0513C032754F5582A758D35917AC9ADF3854219B39E3AC77D1837E"},
    {"\"abc\"", NoBytes(), Text("abc"), "8081027A500147C512E5F1055986674D746D92AF4841ABEB89DA64AD"},
};
const KnownAnswer kHaval256_3Cases[] = {
    {"the empty message", NoBytes(), Text(""),
     "4F6938531F0BC8991F62DA7BBD6F7DE3FAD44562B8C6F4EBF146D5B4E46F7C17"},
    {"\"abc\"", NoBytes(), Text("abc"),
     "8699F1E3384D05B2A84B032693E2B6F46DF85A13A50D93808D6874BB8FB9E86C"},
};
const KnownAnswer kHaval256_4Cases[] = {
    {"the empty message", NoBytes(), Text(""),
     "C92B2E23091E80E375DADCE26982482D197B1A2521BE82DA819F8CA2C579B99B"},
    {"\"abc\"", NoBytes(), Text("abc"),
     "8F409F1BB6B30C5016FDCE55F652642261575BEDCA0B9533F32F5455459142B5"},
};
const KnownAnswer kHaval256_5Cases[] = {
    {"the empty message", NoBytes(), Text(""),
     "BE417BB4DD5CFB76C7126F4F8EEB1553A449039307B1A3CD451DBFDC0FBBE330"},
    {"\"abc\"", NoBytes(), Text("abc"),
     "976CD6254C337969E5913B158392A2921AF16FCA51F5601D486E0A9DE01156E7"},
};
const KnownAnswer kMd2Cases[] = {
    {"the empty message", NoBytes(), Text(""), "8350E5A3E24C153DF2275C9F80692773"},
    {"\"abc\"", NoBytes(), Text("abc"), "DA853B0D3F88D99B30283A69E6DED6BB"},
};
const KnownAnswer kMd4Cases[] = {
    {"the empty message", NoBytes(), Text(""), "31D6CFE0D16AE931B73C59D7E0C089C0"},
    {"\"abc\"", NoBytes(), Text("abc"), "A448017AAF21D8525FC10AE87AA6729D"},
};
const KnownAnswer kMd5Cases[] = {
    {"the empty message", NoBytes(), Text(""), "D41D8CD98F00B204E9800998ECF8427E"},
    {"\"abc\"", NoBytes(), Text("abc"), "900150983CD24FB0D6963F7D28E17F72"},
    {"RFC 2202 case 1", Run(0x0B, 16), Text("Hi There"), "9294727A3638BB1C13F48EF8158BFC9D"},
    {"RFC 2202 case 2", Text("Jefe"), Text("what do ya want for nothing?"),
     "750C783E6AB0B503EAA86E310A5DB738"},
    {"RFC 2202 case 3", Run(0xAA, 16), Run(0xDD, 50), "56BE34521D144C88DBB8C733F0E8B3F6"},
    {"RFC 2202 case 4", HexBytes("0102030405060708090A0B0C0D0E0F10111213141516171819"),
     Run(0xCD, 50), "697EAF0ACA3A3AEA3A75164746FFAA79"},
    {"RFC 2202 case 5", Run(0x0C, 16), Text("Test With Truncation"),
     "56461EF2342EDC00F9BAB995690EFD4C"},
    {"RFC 2202 case 6", Run(0xAA, 80), Text(kLargeKeyFirst), "6B1AB7FE4BD7BF8F0B62E6CE61B9D0CD"},
    {"RFC 2202 case 7", Run(0xAA, 80), Text(kLargeKeyAndData), "6F630FAD67CDA0EE1FB1F562DB3AA53E"},
};
const KnownAnswer kPanamaCases[] = {
    {"the empty message", NoBytes(), Text(""),
     "AA0CC954D757D7AC7779CA3342334CA471ABD47D5952AC91ED837ECD5B16922B"},
    {"\"abc\"", NoBytes(), Text("abc"),
     "A2A70386B81FB918BE17F00FF3E3B376A0462C4DC2EEC7F2C63202C8874C037D"},
};
const KnownAnswer kRipemd128Cases[] = {
    {"the empty message", NoBytes(), Text(""), "CDF26213A150DC3ECB610F18F6B38B46"},
    {"\"abc\"", NoBytes(), Text("abc"), "C14A12199C66E4BA84636B0F69144C77"},
    {"RFC 2286 case 1", Run(0x0B, 16), Text("Hi There"), "FBF61F9492AA4BBF81C172E84E0734DB"},
    {"RFC 2286 case 2", Text("Jefe"), Text("what do ya want for nothing?"),
     "875F828862B6B334B427C55F9F7FF09B"},
    {"RFC 2286 case 3", Run(0xAA, 16), Run(0xDD, 50), "09F0B2846D2F543DA363CBEC8D62A38D"},
    {"RFC 2286 case 4", HexBytes("0102030405060708090A0B0C0D0E0F10111213141516171819"),
     Run(0xCD, 50), "BDBBD7CF03E44B5AA60AF815BE4D2294"},
    {"RFC 2286 case 5", Run(0x0C, 16), Text("Test With Truncation"),
     "E79808F24B25FD031C155F0D551D9A3A"},
    {"RFC 2286 case 6", Run(0xAA, 80), Text(kLargeKeyFirst), "DC732928DE98104A1F59D373C150ACBB"},
    {"RFC 2286 case 7", Run(0xAA, 80), Text(kLargeKeyAndData), "5C6BEC96793E16D40690C237635F30C5"},
};
const KnownAnswer kRipemd160Cases[] = {
    {"the empty message", NoBytes(), Text(""), "9C1185A5C5E9FC54612808977EE8F548B2258D31"},
    {"\"abc\"", NoBytes(), Text("abc"), "8EB208F7E05D987A9B044A8E98C6B087F15A0BFC"},
    {"RFC 2286 case 1", Run(0x0B, 20), Text("Hi There"),
     "24CB4BD67D20FC1A5D2ED7732DCC39377F0A5668"},
    {"RFC 2286 case 2", Text("Jefe"), Text("what do ya want for nothing?"),
     "DDA6C0213A485A9E24F4742064A7F033B43C4069"},
    {"RFC 2286 case 3", Run(0xAA, 20), Run(0xDD, 50), "B0B105360DE759960AB4F35298E116E295D8E7C1"},
    {"RFC 2286 case 4", HexBytes("0102030405060708090A0B0C0D0E0F10111213141516171819"),
     Run(0xCD, 50), "D5CA862F4D21D5E610E18B4CF1BEB97A4365ECF4"},
    {"RFC 2286 case 5", Run(0x0C, 20), Text("Test With Truncation"),
     "7619693978F91D90539AE786500FF3D8E0518E39"},
    {"RFC 2286 case 6", Run(0xAA, 80), Text(kLargeKeyFirst),
     "6466CA07AC5EAC29E1BD523E5ADA7605B791FD8B"},
    {"RFC 2286 case 7", Run(0xAA, 80), Text(kLargeKeyAndData),
     "69EA60798D71616CCE5FD0871E23754CD75D5A0A"},
};
const KnownAnswer kRipemd256Cases[] = {
    {"the empty message", NoBytes(), Text(""),
     "02BA4C4E5F8ECD1877FC52D64D30E37A2D9774FB1E5D026380AE0168E3C5522D"},
    {"\"abc\"", NoBytes(), Text("abc"),
     "AFBD6E228B9D8CBBCEF5CA2D03E6DBA10AC0BC7DCBE4680E1E42D2E975459B65"},
};
const KnownAnswer kRipemd320Cases[] = {
    {"the empty message", NoBytes(), Text(""),
     "22D65D5661536CDC75C1FDF5C6DE7B41B9F27325EBC61E8557177D705A0EC880151C3A32A00899B8"},
    {"\"abc\"", NoBytes(), Text("abc"),
     "DE4C01B3054F8930A79D09AE738E92301E5A17085BEFFDC1B8D116713E74F82FA942D64CDBC4682D"},
};
const KnownAnswer kSha0Cases[] = {
    {"the empty message", NoBytes(), Text(""), "F96CEA198AD1DD5617AC084A3D92C6107708C0EF"},
    {"\"abc\"", NoBytes(), Text("abc"), "0164B8A914CD2A5E74C4F7FF082C4D97F1EDF880"},
};
const KnownAnswer kSha1Cases[] = {
    {"the empty message", NoBytes(), Text(""), "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
    {"\"abc\"", NoBytes(), Text("abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D"},
    {"RFC 2202 case 1", Run(0x0B, 20), Text("Hi There"),
     "B617318655057264E28BC0B6FB378C8EF146BE00"},
    {"RFC 2202 case 2", Text("Jefe"), Text("what do ya want for nothing?"),
     "EFFCDF6AE5EB2FA2D27416D5F184DF9C259A7C79"},
    {"RFC 2202 case 3", Run(0xAA, 20), Run(0xDD, 50), "125D7342B9AC11CD91A39AF48AA17B4F63F175D3"},
    {"RFC 2202 case 4", HexBytes("0102030405060708090A0B0C0D0E0F10111213141516171819"),
     Run(0xCD, 50), "4C9007F4026250C6BC8414F9BF50C86C2D7235DA"},
    {"RFC 2202 case 5", Run(0x0C, 20), Text("Test With Truncation"),
     "4C1A03424B55E07FE7F27BE1D58BB9324A9A5A04"},
    {"RFC 2202 case 6", Run(0xAA, 80), Text(kLargeKeyFirst),
     "AA4AE5E15272D00E95705637CE8A3B55ED402112"},
    {"RFC 2202 case 7", Run(0xAA, 80), Text(kLargeKeyAndData),
     "E8E99D0F45237D786D6BBAA7965C7808BBFF1A91"},
};
const KnownAnswer kSha256Cases[] = {
    {"the empty message", NoBytes(), Text(""),
     "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
    {"\"abc\"", NoBytes(), Text("abc"),
     "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
    {"RFC 4231 case 1", Run(0x0B, 20), Text("Hi There"),
     "B0344C61D8DB38535CA8AFCEAF0BF12B881DC200C9833DA726E9376C2E32CFF7"},
    {"RFC 4231 case 2", Text("Jefe"), Text("what do ya want for nothing?"),
     "5BDCC146BF60754E6A042426089575C75A003F089D2739839DEC58B964EC3843"},
    {"RFC 4231 case 3", Run(0xAA, 20), Run(0xDD, 50),
     "773EA91E36800E46854DB8EBD09181A72959098B3EF8C122D9635514CED565FE"},
    {"RFC 4231 case 4", HexBytes("0102030405060708090A0B0C0D0E0F10111213141516171819"),
     Run(0xCD, 50), "82558A389A443C0EA4CC819899F2083A85F0FAA3E578F8077A2E3FF46729665B"},
    {"RFC 4231 case 6", Run(0xAA, 131), Text(kLargeKeyFirst),
     "60E431591EE0B67F0D8A26AACBF5B77F8E0BC6213728C5140546040F0EE37F54"},
    {"RFC 4231 case 7", Run(0xAA, 131), Text(kLargeKeyAndData4231),
     "9B09FFA71B942FCB27635FBCD5B0E944BFDC63644F0713938A7F51535C3A35E2"},
};
const KnownAnswer kSha384Cases[] = {
    {"the empty message", NoBytes(), Text(""),
     "38B060A751AC96384CD9327EB1B1E36A21FDB71114BE0743"
     "4C0CC7BF63F6E1DA274EDEBFE76F65FBD51AD2F14898B95B"},
    {"\"abc\"", NoBytes(), Text("abc"),
     "CB00753F45A35E8BB5A03D699AC65007272C32AB0EDED163"
     "1A8B605A43FF5BED8086072BA1E7CC2358BAECA134C825A7"},
    {"RFC 4231 case 1", Run(0x0B, 20), Text("Hi There"),
     "AFD03944D84895626B0825F4AB46907F15F9DADBE4101EC682AA034C7CEBC59CFAEA9EA9076EDE7F4AF152E8B2FA9"
     "CB6"},
    {"RFC 4231 case 2", Text("Jefe"), Text("what do ya want for nothing?"),
     "AF45D2E376484031617F78D2B58A6B1B9C7EF464F5A01B47E42EC3736322445E8E2240CA5E69E2C78B3239ECFAB21"
     "649"},
    {"RFC 4231 case 3", Run(0xAA, 20), Run(0xDD, 50),
     "88062608D3E6AD8A0AA2ACE014C8A86F0AA635D947AC9FEBE83EF4E55966144B2A5AB39DC13814B94E3AB6E101A34"
     "F27"},
    {"RFC 4231 case 4", HexBytes("0102030405060708090A0B0C0D0E0F10111213141516171819"),
     Run(0xCD, 50),
     "3E8A69B7783C25851933AB6290AF6CA77A9981480850009CC5577C6E1F573B4E6801DD23C4A7D679CCF8A386C674C"
     "FFB"},
    {"RFC 4231 case 6", Run(0xAA, 131), Text(kLargeKeyFirst),
     "4ECE084485813E9088D2C63A041BC5B44F9EF1012A2B588F3CD11F05033AC4C60C2EF6AB4030FE8296248DF163F44"
     "952"},
    {"RFC 4231 case 7", Run(0xAA, 131), Text(kLargeKeyAndData4231),
     "6617178E941F020D351E2F254E8FD32C602420FEB0B8FB9ADCCEBB82461E99C5A678CC31E799176D3860E6110C465"
     "23E"},
};
const KnownAnswer kSha512Cases[] = {
    {"the empty message", NoBytes(), Text(""),
     "CF83E1357EEFB8BDF1542850D66D8007D620E4050B5715DC83F4A921D36CE9CE"
     "47D0D13C5D85F2B0FF8318D2877EEC2F63B931BD47417A81A538327AF927DA3E"},
    {"\"abc\"", NoBytes(), Text("abc"),
     "DDAF35A193617ABACC417349AE20413112E6FA4E89A97EA20A9EEEE64B55D39A"
     "2192992A274FC1A836BA3C23A3FEEBBD454D4423643CE80E2A9AC94FA54CA49F"},
    {"RFC 4231 case 1", Run(0x0B, 20), Text("Hi There"),
     "87AA7CDEA5EF619D4FF0B4241A1D6CB02379F4E2CE4EC2787AD0B30545E17CDEDAA833B7D6B8A702038B274EAEA3F"
     "4E4BE9D914EEB61F1702E696C203A126854"},
    {"RFC 4231 case 2", Text("Jefe"), Text("what do ya want for nothing?"),
     "164B7A7BFCF819E2E395FBE73B56E0A387BD64222E831FD610270CD7EA2505549758BF75C05A994A6D034F65F8F0E"
     "6FDCAEAB1A34D4A6B4B636E070A38BCE737"},
    {"RFC 4231 case 3", Run(0xAA, 20), Run(0xDD, 50),
     "FA73B0089D56A284EFB0F0756C890BE9B1B5DBDD8EE81A3655F83E33B2279D39BF3E848279A722C806B485A47E67C"
     "807B946A337BEE8942674278859E13292FB"},
    {"RFC 4231 case 4", HexBytes("0102030405060708090A0B0C0D0E0F10111213141516171819"),
     Run(0xCD, 50),
     "B0BA465637458C6990E5A8C5F61D4AF7E576D97FF94B872DE76F8050361EE3DBA91CA5C11AA25EB4D679275CC5788"
     "063A5F19741120C4F2DE2ADEBEB10A298DD"},
    {"RFC 4231 case 6", Run(0xAA, 131), Text(kLargeKeyFirst),
     "80B24263C7C1A3EBB71493C1DD7BE8B49B46D1F41B4AEEC1121B013783F8F3526B56D037E05F2598BD0FD2215D6A1"
     "E5295E64F73F63F0AEC8B915A985D786598"},
    {"RFC 4231 case 7", Run(0xAA, 131), Text(kLargeKeyAndData4231),
     "E37B6A775DC87DBAA4DFA9F96E5E3FFDDEBD71F8867289865DF5A32D20CDC944B6022CAC3C4982B10D5EEB55C3E4D"
     "E15134676FB6DE0446065C97440FA8C6A58"},
};
const KnownAnswer kSnefru128_4Cases[] = {
    {"the empty message", NoBytes(), Text(""), "5148516AE7FC7E89AD8E0B0B8D76AC78"},
    {"\"abc\"", NoBytes(), Text("abc"), "B6029A546373F33217BE9515800C5E15"},
};
const KnownAnswer kSnefru128_8Cases[] = {
    {"the empty message", NoBytes(), Text(""), "8617F366566A011837F4FB4BA5BEDEA2"},
    {"\"abc\"", NoBytes(), Text("abc"), "553D0648928299A0F22A275A02C83B10"},
};
const KnownAnswer kSnefru256_4Cases[] = {
    {"the empty message", NoBytes(), Text(""),
     "5148516AE7FC7E89AD8E0B0B8D76AC782498615818FB8EEB08CBAB9F07C82A73"},
    {"\"abc\"", NoBytes(), Text("abc"),
     "BDA1E7EF98134710FDC3A1BFA714993EF35B22D81B1608D09FCA2BE479DF338C"},
};
const KnownAnswer kSnefru256_8Cases[] = {
    {"the empty message", NoBytes(), Text(""),
     "8617F366566A011837F4FB4BA5BEDEA2B892F3ED8B894023D16AE344B2BE5881"},
    {"\"abc\"", NoBytes(), Text("abc"),
     "7D033205647A2AF3DC8339F6CB25643C33EBC622D32979C4B612B02C4903031B"},
};
const KnownAnswer kTigerCases[] = {
    {"the empty message", NoBytes(), Text(""), "3293AC630C13F0245F92BBB1766E16167A4E58492DDE73F3"},
    {"\"abc\"", NoBytes(), Text("abc"), "2AAB1484E8C158F2BFB8C5FF41B57A525129131C957B5F93"},
};
const KnownAnswer kWhirlpoolCases[] = {
    {"the empty message", NoBytes(), Text(""),
     "19FA61D75522A4669B44E39C1D2E1726C530232130D407F89AFEE0964997F7A7"
     "3E83BE698B288FEBCF88E3E03C4F0757EA8964E59B63D93708B138CC42A66EB3"},
    {"\"abc\"", NoBytes(), Text("abc"),
     "4E2448A4C6F486BB16B6562C73B4020BF3043E3A731BCE721AE1B303D97E6D4C"
     "7181EEBDB6C57E277D0E34957114CBD6C797FC9D95D8B582D225292076D4EEF5"},
};

}  // namespace

std::vector<uint8_t> ExpandBytes(const VectorBytes& bytes) {
    std::vector<uint8_t> out;
    switch (bytes.kind) {
        case VectorBytes::kNone:
            break;
        case VectorBytes::kText:
            out.assign(bytes.text, bytes.text + std::strlen(bytes.text));
            break;
        case VectorBytes::kRun:
            out.assign(bytes.count, bytes.byte);
            break;
        case VectorBytes::kHex:
            for (const char* p = bytes.text; p[0] != '\0' && p[1] != '\0'; p += 2) {
                out.push_back(uint8_t(HexValue(p[0]) << 4 | HexValue(p[1])));
            }
            break;
    }
    return out;
}

const KnownAnswerList kAdler32Answers = Answers(kAdler32Cases, kZlibSource);
const KnownAnswerList kCrc16Answers = Answers(kCrc16Cases, kCrcCatalogueSource);
const KnownAnswerList kCrc16CcittAnswers = Answers(kCrc16CcittCases, kCrcCatalogueSource);
const KnownAnswerList kCrc32Answers = Answers(kCrc32Cases, kZlibSource);
const KnownAnswerList kCrc32bAnswers = Answers(kCrc32bCases, kCrcCatalogueSource);
const KnownAnswerList kGostAnswers = Answers(kGostCases, kPhpHashSource);
const KnownAnswerList kHaval128_3Answers = Answers(kHaval128_3Cases, kPhpHashSource);
const KnownAnswerList kHaval128_4Answers = Answers(kHaval128_4Cases, kPhpHashSource);
const KnownAnswerList kHaval128_5Answers = Answers(kHaval128_5Cases, kPhpHashSource);
const KnownAnswerList kHaval160_3Answers = Answers(kHaval160_3Cases, kPhpHashSource);
const KnownAnswerList kHaval160_4Answers = Answers(kHaval160_4Cases, kPhpHashSource);
const KnownAnswerList kHaval160_5Answers = Answers(kHaval160_5Cases, kPhpHashSource);
const KnownAnswerList kHaval192_3Answers = Answers(kHaval192_3Cases, kPhpHashSource);
const KnownAnswerList kHaval192_4Answers = Answers(kHaval192_4Cases, kPhpHashSource);
const KnownAnswerList kHaval192_5Answers = Answers(kHaval192_5Cases, kPhpHashSource);
const KnownAnswerList kHaval224_3Answers = Answers(kHaval224_3Cases, kPhpHashSource);
const KnownAnswerList kHaval224_4Answers = Answers(kHaval224_4Cases, kPhpHashSource);
const KnownAnswerList kHaval224_5Answers = Answers(kHaval224_5Cases, kPhpHashSource);
const KnownAnswerList kHaval256_3Answers = Answers(kHaval256_3Cases, kPhpHashSource);
const KnownAnswerList kHaval256_4Answers = Answers(kHaval256_4Cases, kPhpHashSource);
const KnownAnswerList kHaval256_5Answers = Answers(kHaval256_5Cases, kPhpHashSource);
const KnownAnswerList kMd2Answers = Answers(kMd2Cases, "RFC 1319, appendix A.5");
const KnownAnswerList kMd4Answers = Answers(kMd4Cases, "RFC 1320, appendix A.5");
const KnownAnswerList kMd5Answers = Answers(kMd5Cases, "RFC 1321, appendix A.5; keyed: RFC 2202");
const KnownAnswerList kPanamaAnswers =
    Answers(kPanamaCases, "equal to the PANAMA hash of Crypto++");
const KnownAnswerList kRipemd128Answers = Answers(kRipemd128Cases, kRipemdKeyedSource);
const KnownAnswerList kRipemd160Answers = Answers(kRipemd160Cases, kRipemdKeyedSource);
const KnownAnswerList kRipemd256Answers = Answers(kRipemd256Cases, kRipemdSource);
const KnownAnswerList kRipemd320Answers = Answers(kRipemd320Cases, kRipemdSource);
const KnownAnswerList kSha0Answers = Answers(kSha0Cases, kSha0Source);
const KnownAnswerList kSha1Answers = Answers(kSha1Cases, kSha1Source);
const KnownAnswerList kSha256Answers = Answers(kSha256Cases, kSha2Source);
const KnownAnswerList kSha384Answers = Answers(kSha384Cases, kSha2Source);
const KnownAnswerList kSha512Answers = Answers(kSha512Cases, kSha2Source);
const KnownAnswerList kSnefru128_4Answers = Answers(kSnefru128_4Cases, kSnefru4Source);
const KnownAnswerList kSnefru128_8Answers = Answers(kSnefru128_8Cases, kSnefru8Source);
const KnownAnswerList kSnefru256_4Answers = Answers(kSnefru256_4Cases, kSnefru4Source);
const KnownAnswerList kSnefru256_8Answers = Answers(kSnefru256_8Cases, kSnefru8Source);
const KnownAnswerList kTigerAnswers = Answers(kTigerCases, kTigerSource);
const KnownAnswerList kWhirlpoolAnswers = Answers(kWhirlpoolCases, kWhirlpoolSource);
