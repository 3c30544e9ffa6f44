// The dialog templates, icon, bitmap and manifest as linked into the program, and the
// windows the dialog manager makes of them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "korvadex.h"
#include "window_test_support.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

struct Item {
    int id;
    const char* className;
    std::string text;  // "#n" for a resource ordinal
    DWORD style;
    DWORD exStyle;
    RECT rect;  // left, top, width, height in dialog units
};

struct Template {
    DWORD style;
    DWORD exStyle;
    RECT rect;
    std::string caption;
    WORD pointSize;
    std::string font;
    std::vector<Item> items;
};

const Template kMainTemplate{
    WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_CENTER | DS_SETFONT,
    WS_EX_ACCEPTFILES,
    {6, 10, 345, 210},
    "kORv",
    8,
    "Tahoma",
    {
        {1101, "Static", "Input", kChild | SS_LEFT, 0, {3, 6, 17, 9}},
        {1213, "Button", "Browse", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, {163, 194, 57, 13}},
        {1215, "Button", "About", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, {223, 194, 57, 13}},
        {1001,
         "Edit",
         "",
         kChild | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL,
         WS_EX_CLIENTEDGE,
         {3, 15, 337, 13}},
        {1220, "Button", "Exit", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, {283, 194, 57, 13}},
        {1235,
         "Edit",
         "",
         kChild | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL |
             WS_HSCROLL | WS_VSCROLL,
         WS_EX_CLIENTEDGE,
         {3, 31, 337, 161}},
    },
};

const Template kAboutTemplate{
    WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_SETFONT,
    WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
    {0, 0, 128, 115},
    "About",
    8,
    "MS Sans Serif",
    {
        {1237, "Button", "", kChild | BS_GROUPBOX, 0, {3, 3, 121, 108}},
        {1224, "Static", "#8888", kChild | SS_BITMAP | SS_CENTERIMAGE, 0, {13, 15, 101, 53}},
        {1238, "Static", "Korvadex", kChild | SS_CENTER, 0, {13, 71, 101, 10}},
        {1239, "Static", "Made by the Korvadex team", kChild | SS_CENTER, 0, {13, 80, 101, 10}},
        {1240,
         "Static",
         "Digest suite by the Korvadex developers",
         kChild | SS_CENTER,
         0,
         {17, 89, 94, 16}},
    },
};

// Reads an extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items).
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : p_(data) {}
    WORD Word() { return Take<WORD>(); }
    DWORD Dword() { return Take<DWORD>(); }
    short Short() { return Take<short>(); }
    BYTE Byte() { return Take<BYTE>(); }
    // A string or an ordinal: "#n" for an ordinal, the text otherwise.
    std::string StringOrOrdinal() {
        if (Peek() == 0xFFFF) {
            Word();
            return "#" + std::to_string(Word());
        }
        return String();
    }
    std::string String() {
        std::string s;
        for (WORD c = Word(); c != 0; c = Word()) s += char(c);
        return s;
    }
    void AlignDword() {
        while (reinterpret_cast<uintptr_t>(p_) % 4) ++p_;
    }
    void Skip(size_t n) { p_ += n; }

private:
    WORD Peek() const {
        WORD v;
        std::memcpy(&v, p_, sizeof v);
        return v;
    }
    template <typename T>
    T Take() {
        T v;
        std::memcpy(&v, p_, sizeof v);
        p_ += sizeof v;
        return v;
    }
    const BYTE* p_;
};

const BYTE* Resource(LPCSTR type, int id, DWORD* size = nullptr) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found) return nullptr;
    if (size) *size = SizeofResource(module, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
}

// A template names a predefined class by its atom or by its name.
std::string ClassName(const std::string& classOrAtom) {
    if (classOrAtom == "#128") return "Button";
    if (classOrAtom == "#129") return "Edit";
    if (classOrAtom == "#130") return "Static";
    return classOrAtom;
}

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

void ExpectTemplate(int id, const Template& expected) {
    const BYTE* data = Resource(RT_DIALOG, id);
    ASSERT_NE(data, nullptr);
    TemplateReader in(data);
    EXPECT_EQ(in.Word(), 1);       // dlgVer
    EXPECT_EQ(in.Word(), 0xFFFF);  // signature of an extended template
    EXPECT_EQ(in.Dword(), 0u);     // help id
    EXPECT_EQ(in.Dword(), expected.exStyle);
    EXPECT_EQ(in.Dword(), expected.style);
    const WORD count = in.Word();
    ASSERT_EQ(count, expected.items.size());
    EXPECT_EQ(in.Short(), expected.rect.left);
    EXPECT_EQ(in.Short(), expected.rect.top);
    EXPECT_EQ(in.Short(), expected.rect.right);
    EXPECT_EQ(in.Short(), expected.rect.bottom);
    EXPECT_EQ(in.StringOrOrdinal(), "");  // no menu
    EXPECT_EQ(in.StringOrOrdinal(), "");  // no class
    EXPECT_EQ(in.String(), expected.caption);
    EXPECT_EQ(in.Word(), expected.pointSize);
    in.Word();  // weight
    in.Byte();  // italic
    in.Byte();  // character set
    EXPECT_EQ(in.String(), expected.font);
    for (const Item& item : expected.items) {
        SCOPED_TRACE("control " + std::to_string(item.id));
        in.AlignDword();
        EXPECT_EQ(in.Dword(), 0u);  // help id
        EXPECT_EQ(in.Dword(), item.exStyle);
        EXPECT_EQ(in.Dword(), item.style);
        EXPECT_EQ(in.Short(), item.rect.left);
        EXPECT_EQ(in.Short(), item.rect.top);
        EXPECT_EQ(in.Short(), item.rect.right);
        EXPECT_EQ(in.Short(), item.rect.bottom);
        EXPECT_EQ(in.Dword(), DWORD(item.id));
        EXPECT_EQ(Upper(ClassName(in.StringOrOrdinal())), Upper(item.className));
        EXPECT_EQ(in.StringOrOrdinal(), item.text);
        const WORD extra = in.Word();
        EXPECT_EQ(extra, 0);
        in.Skip(extra);
    }
}

TEST(Templates, MainTemplateAsLaidOut) {
    ExpectTemplate(IDD_MAIN, kMainTemplate);
}

TEST(Templates, AboutTemplateAsLaidOut) {
    ExpectTemplate(IDD_ABOUT, kAboutTemplate);
}

// The live window of a template: caption, styles, size, font, and every control with its
// class, text, styles and rectangle in dialog units, in template (and so tab) order.
void ExpectWindow(HWND dialog, const Template& expected) {
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(dialog), expected.caption);
    // The window styles proper (the high word; the low word holds the template's DS_
    // flags), less the sibling clipping that the platform adds to every top-level window.
    const DWORD kWindowStyles = 0xFFFF0000 & ~WS_CLIPSIBLINGS;
    EXPECT_EQ(DWORD(GetWindowLongA(dialog, GWL_STYLE)) & kWindowStyles,
              expected.style & kWindowStyles);
    EXPECT_EQ(DWORD(GetWindowLongA(dialog, GWL_EXSTYLE)) & expected.exStyle, expected.exStyle);

    RECT client, size = {0, 0, expected.rect.right, expected.rect.bottom};
    GetClientRect(dialog, &client);
    MapDialogRect(dialog, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    LOGFONTA font = {};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, expected.font.c_str());
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(font.lfHeight, -MulDiv(expected.pointSize, GetDeviceCaps(screen, LOGPIXELSY), 72));
    ReleaseDC(nullptr, screen);

    HWND control = GetWindow(dialog, GW_CHILD);
    for (const Item& item : expected.items) {
        SCOPED_TRACE("control " + std::to_string(item.id));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetDlgCtrlID(control), item.id);
        char className[32];
        GetClassNameA(control, className, sizeof className);
        EXPECT_STREQ(className, item.className);
        if (item.text[0] != '#') {
            EXPECT_EQ(WindowText(control), item.text);
        }
        EXPECT_EQ(DWORD(GetWindowLongA(control, GWL_STYLE)), item.style);
        EXPECT_EQ(DWORD(GetWindowLongA(control, GWL_EXSTYLE)) & ~WS_EX_NOPARENTNOTIFY,
                  item.exStyle);
        // Position and size are converted apart, as the dialog manager does.
        RECT actual, pixels = item.rect;
        GetWindowRect(control, &actual);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        MapDialogRect(dialog, &pixels);
        EXPECT_EQ(actual.left, pixels.left);
        EXPECT_EQ(actual.top, pixels.top);
        EXPECT_EQ(actual.right - actual.left, pixels.right);
        EXPECT_EQ(actual.bottom - actual.top, pixels.bottom);
        control = GetWindow(control, GW_HWNDNEXT);
    }
    EXPECT_EQ(control, nullptr);
}

TEST(MainWindowLayout, ControlsAsTheTemplateGivesThem) {
    MainWindow window;
    ExpectWindow(window.handle(), kMainTemplate);
    EXPECT_NE(SendMessageA(window.handle(), WM_GETICON, ICON_BIG, 0), 0);
    // Tab walks Browse, About, the input box, Exit and the report box; the label takes no
    // focus.
    const int order[] = {IDC_BROWSE, IDC_ABOUT, IDC_INPUT, IDC_EXIT, IDC_OUTPUT, IDC_BROWSE};
    HWND at = GetDlgItem(window.handle(), order[0]);
    for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i) {
        at = GetNextDlgTabItem(window.handle(), at, FALSE);
        EXPECT_EQ(GetDlgCtrlID(at), order[i]) << "tab stop " << i;
    }
}

TEST(AboutWindowLayout, ControlsAsTheTemplateGivesThem) {
    HWND about = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), nullptr,
                                    AboutDialogProc, 0);
    ExpectWindow(about, kAboutTemplate);
    EXPECT_NE(SendMessageA(about, WM_GETICON, ICON_SMALL, 0), 0);
    HBITMAP picture = reinterpret_cast<HBITMAP>(
        SendDlgItemMessageA(about, IDC_ABOUT_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP bitmap = {};
    ASSERT_NE(picture, nullptr);
    GetObjectA(picture, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 150);
    EXPECT_EQ(bitmap.bmHeight, 82);

    // The texts fit their boxes: nothing is cut off.
    for (int id : {IDC_ABOUT_PRODUCT, IDC_ABOUT_AUTHOR, IDC_ABOUT_SUITE_AUTHOR}) {
        HWND text = GetDlgItem(about, id);
        RECT box, needed;
        GetClientRect(text, &box);
        needed = box;
        HDC dc = GetDC(text);
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(text, WM_GETFONT, 0, 0)));
        const std::string s = WindowText(text);
        DrawTextA(dc, s.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
        SelectObject(dc, old);
        ReleaseDC(text, dc);
        EXPECT_LE(needed.right - needed.left, box.right) << s;
        EXPECT_LE(needed.bottom - needed.top, box.bottom) << s;
    }
    DestroyWindow(about);
}

TEST(Resources, IconBitmapAndManifest) {
    DWORD size = 0;
    const BYTE* group = Resource(RT_GROUP_ICON, IDI_MAIN, &size);
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(size, 6u + 14u);                              // GRPICONDIR with one entry
    EXPECT_EQ(group[4] | group[5] << 8, 1);                 // one image
    EXPECT_EQ(group[6], 48);                                // width
    EXPECT_EQ(group[7], 48);                                // height
    EXPECT_EQ(group[6 + 6] | group[6 + 7] << 8, 32);        // bits per pixel
    const int iconId = group[6 + 12] | group[6 + 13] << 8;  // id of the RT_ICON image
    BITMAPINFOHEADER icon;
    const BYTE* image = Resource(RT_ICON, iconId, &size);
    ASSERT_NE(image, nullptr);
    std::memcpy(&icon, image, sizeof icon);
    EXPECT_EQ(icon.biWidth, 48);
    EXPECT_EQ(icon.biHeight, 96);  // colour image and mask
    EXPECT_EQ(icon.biBitCount, 32);
    EXPECT_EQ(size, 40u + 48 * 48 * 4 + 48 * 8);

    BITMAPINFOHEADER bitmap;
    const BYTE* bits = Resource(RT_BITMAP, IDB_ABOUT, &size);
    ASSERT_NE(bits, nullptr);
    std::memcpy(&bitmap, bits, sizeof bitmap);
    EXPECT_EQ(bitmap.biWidth, 150);
    EXPECT_EQ(bitmap.biHeight, 82);
    EXPECT_EQ(bitmap.biBitCount, 24);
    EXPECT_EQ(bitmap.biCompression, DWORD(BI_RGB));
    EXPECT_EQ(size, 40u + 452 * 82);

    const BYTE* manifest = Resource(RT_MANIFEST, 1, &size);
    ASSERT_NE(manifest, nullptr);
    const std::string text(reinterpret_cast<const char*>(manifest), size);
    const size_t own = text.find("<assemblyIdentity");
    const size_t dependency = text.find("<dependentAssembly>");
    ASSERT_NE(own, std::string::npos);
    ASSERT_NE(dependency, std::string::npos);
    const std::string identity = text.substr(own, text.find("/>", own) - own);
    EXPECT_NE(identity.find("type=\"win32\""), std::string::npos);
    EXPECT_NE(identity.find("version=\"" KORVADEX_VERSION ".0\""), std::string::npos);
    EXPECT_NE(identity.find("processorArchitecture=\"x86\""), std::string::npos);
    const std::string needs = text.substr(dependency);
    EXPECT_NE(needs.find("name=\"Microsoft.Windows.Common-Controls\""), std::string::npos);
    EXPECT_NE(needs.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(needs.find("processorArchitecture=\"x86\""), std::string::npos);
    EXPECT_NE(needs.find("language=\"*\""), std::string::npos);
}

}  // namespace
