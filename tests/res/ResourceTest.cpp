// The program's resources, linked into this test program, loaded the way the wizard loads them.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "res/resource.h"

namespace {

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

std::string LoadText(UINT id) {
  char buffer[1024] = {};
  int length = LoadStringA(Module(), id, buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? length : 0);
}

struct Blob {
  const unsigned char* data = nullptr;
  DWORD size = 0;
};

Blob FindBlob(LPCSTR type, UINT id) {
  Blob blob;
  HRSRC found = FindResourceA(Module(), MAKEINTRESOURCEA(id), type);
  if (!found) return blob;
  HGLOBAL loaded = LoadResource(Module(), found);
  blob.data = static_cast<const unsigned char*>(LockResource(loaded));
  blob.size = SizeofResource(Module(), found);
  return blob;
}

template <typename T>
T Read(const unsigned char* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

// ---- extended dialog templates ----

struct DialogItem {
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  std::string className;  // upper case; predefined classes by their atom: "#128" is a button
  std::string text;
};

struct DialogTemplate {
  bool extended = false;
  DWORD style = 0;
  short cx = 0, cy = 0;
  std::string title;
  int pointSize = 0;
  std::string face;
  std::vector<DialogItem> items;

  const DialogItem* Item(int id) const {
    for (const DialogItem& item : items)
      if (item.id == id) return &item;
    return nullptr;
  }
};

// A resource name field: a 0xFFFF-prefixed ordinal or a NUL-terminated UTF-16 string.
std::string ReadNameOrOrdinal(const unsigned char*& p) {
  WORD first = Read<WORD>(p);
  if (first == 0xFFFF) {
    WORD ordinal = Read<WORD>(p + 2);
    p += 4;
    return "#" + std::to_string(ordinal);
  }
  std::string text;
  for (WORD c; (c = Read<WORD>(p)) != 0; p += 2) text += static_cast<char>(c < 0x80 ? c : '?');
  p += 2;
  return text;
}

// Window classes are found regardless of case; templates may store either.
std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

const unsigned char* AlignDword(const unsigned char* p, const unsigned char* base) {
  return base + ((p - base + 3) & ~3);
}

DialogTemplate ParseDialog(UINT id) {
  DialogTemplate t;
  Blob blob = FindBlob(RT_DIALOG, id);
  if (!blob.data || blob.size < 26) return t;
  const unsigned char* base = blob.data;
  const unsigned char* p = base;
  if (Read<WORD>(p) != 1 || Read<WORD>(p + 2) != 0xFFFF) return t;
  t.extended = true;
  t.style = Read<DWORD>(p + 12);
  WORD count = Read<WORD>(p + 16);
  t.cx = Read<short>(p + 22);
  t.cy = Read<short>(p + 24);
  p += 26;
  ReadNameOrOrdinal(p);  // menu
  ReadNameOrOrdinal(p);  // class
  t.title = ReadNameOrOrdinal(p);
  if (t.style & DS_SETFONT) {
    t.pointSize = Read<WORD>(p);
    p += 6;
    t.face = ReadNameOrOrdinal(p);
  }
  for (WORD i = 0; i < count; ++i) {
    p = AlignDword(p, base);
    DialogItem item;
    item.style = Read<DWORD>(p + 8);
    item.x = Read<short>(p + 12);
    item.y = Read<short>(p + 14);
    item.cx = Read<short>(p + 16);
    item.cy = Read<short>(p + 18);
    item.id = static_cast<int>(Read<DWORD>(p + 20));
    p += 24;
    item.className = Upper(ReadNameOrOrdinal(p));
    item.text = ReadNameOrOrdinal(p);
    WORD extra = Read<WORD>(p);
    p += 2 + extra;
    t.items.push_back(item);
  }
  return t;
}

constexpr const char* kButton = "#128";
constexpr const char* kEdit = "#129";
constexpr const char* kStatic = "#130";
constexpr const char* kComboBox = "#133";

struct Rect {
  short x, y, cx, cy;
};

void ExpectPlaced(const DialogTemplate& t, int id, Rect r) {
  const DialogItem* item = t.Item(id);
  ASSERT_NE(item, nullptr) << "control " << id;
  EXPECT_EQ(item->x, r.x) << "control " << id;
  EXPECT_EQ(item->y, r.y) << "control " << id;
  EXPECT_EQ(item->cx, r.cx) << "control " << id;
  EXPECT_EQ(item->cy, r.cy) << "control " << id;
}

// ---- windows for creating the templates ----

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&init);
  }
  void SetUp() override {
    m_host = CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, Module(), nullptr);
    ASSERT_NE(m_host, nullptr);
  }
  void TearDown() override {
    if (m_host) DestroyWindow(m_host);
  }
  HWND m_host = nullptr;
};

std::string WindowClass(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

}  // namespace

// ---- string table ----

TEST(StringTable, EveryTextTheProgramLoadsIsPresent) {
  const UINT ids[] = {
      IDS_ABOUTBOX, IDS_DEVICE_TITLE, IDS_DEVICE_SUBTITLE, IDS_OPTIONS_TITLE, IDS_OPTIONS_SUBTITLE,
      IDS_BURNING_TITLE, IDS_CANNOT_CLOSE, IDS_UNSUPPORTED_MEDIA, IDS_NO_IMAGE_FILE,
      IDS_SCANNING_DEVICES, IDS_LOG_CANCELLING, IDS_LOG_CANCELLED, IDS_IMAGE_SIZES, IDS_LOG_STARTED,
      IDS_LOG_CREATE_FAILED, IDS_LOG_GET_BUP, IDS_LOG_GET_BUP_FAILED, IDS_LOG_GET_BUP_OK,
      IDS_LOG_SET_BUP, IDS_LOG_SET_BUP_FAILED, IDS_LOG_SET_BUP_OK, IDS_LOG_SET_SPEEDS,
      IDS_LOG_SPEEDS_FAILED, IDS_LOG_SPEEDS_OK, IDS_BURNING_SUBTITLE, IDS_LOG_SEND_OPC,
      IDS_LOG_SEND_OPC_FAILED, IDS_LOG_WRITING, IDS_LOG_CDTEXT_FAILED, IDS_LOG_BURN_FAILED,
      IDS_LOG_BURN_COMPLETED, IDS_COL_INFORMATION, IDS_COL_TIME, IDS_LOG_HEADER, IDS_LOG_SOURCE_FILE,
      IDS_LOG_DESTINATION, IDS_LOG_REQUESTED_SPEED, IDS_LOG_METHOD_DAO, IDS_LOG_METHOD_TAO,
      IDS_LOG_METHOD_SAO, IDS_COL_PRODUCT, IDS_COL_VENDOR, IDS_COL_REVISION, IDS_COL_MEDIA,
      IDS_COL_SIZE, IDS_COL_LABEL, IDS_LOG_EJECT, IDS_CONFIRM_CANCEL, IDS_BAD_IMAGE_PATH,
      IDS_LOG_CLOSE_FAILED, IDS_LOG_SESSION_CLOSED, IDS_LOG_CLOSING_SESSION, IDS_NO_MEDIA,
      IDS_MEDIA_NOT_WRITABLE, IDS_PLEASE_WAIT, IDS_IMAGE_TITLE, IDS_IMAGE_SUBTITLE, IDS_MODE_TITLE,
      IDS_MODE_SUBTITLE, IDS_SUMMARY_SUBTITLE, IDS_SUMMARY_TITLE, IDS_SUMMARY_DRIVE, IDS_SUMMARY_IMAGE,
      IDS_SUMMARY_DISC_TYPE, IDS_SUMMARY_OPC, IDS_SUMMARY_SPEED, IDS_SUMMARY_TEST_WRITE,
      IDS_SUMMARY_TRANSPORT, IDS_SUMMARY_MODE, IDS_RESULT_SUCCESS, IDS_RESULT_ERROR,
      IDS_VERSION_FORMAT, IDS_SPEED_FORMAT, IDS_CANCELLING_BURN, IDS_RESULT_CANCELLED,
      IDS_CANCEL_BURNING, IDS_DISC_NOT_BLANK, IDS_SELECT_DEVICE, IDS_REFRESHING_DEVICE,
      IDS_REFRESHING_INFO, IDS_HELP_BUTTON, IDS_TRANSPORT_TITLE, IDS_TRANSPORT_SUBTITLE,
      IDS_APP_NAME, IDS_WIZARD_CAPTION, IDS_ALREADY_RUNNING, IDS_TRANSPORT_SPTI, IDS_TRANSPORT_ASPI,
      IDS_YES, IDS_NO, IDS_MODE_TAO, IDS_MODE_SAO, IDS_MODE_DAO_PQ, IDS_MODE_DAO_RAW_PW,
      IDS_SUMMARY_DAO_RAW_PW, IDS_IMAGE_FILTER, IDS_LOG_FILE_FILTER, IDS_SPEED_MAXIMUM};
  for (UINT id : ids) EXPECT_FALSE(LoadText(id).empty()) << "string " << id;
}

TEST(StringTable, BlanksAndFormatsSurviveExactly) {
  EXPECT_EQ(LoadText(101), "&About Quillfire...");
  EXPECT_EQ(LoadText(205), "Burning  was cancelled by user.");
  EXPECT_EQ(LoadText(204), "Quillfire Wizard cancels burning. ");
  EXPECT_EQ(LoadText(203), "%s (%d KB/sec)");
  EXPECT_EQ(LoadText(201), "Quillfire  Version %s");
  EXPECT_EQ(LoadText(119), "File size: %.2f Mb      Disc size: %.2f Mb");
  EXPECT_EQ(LoadText(211), "Help");
  EXPECT_EQ(LoadText(1035), "SCSI Transport");
  EXPECT_EQ(LoadText(188),
            "Review the data CD/DVD/Blu-Ray/HD-DVD options you have chosen before proceed with burning.");
  EXPECT_EQ(LoadText(IDS_ALREADY_RUNNING),
            "There's an instance running of the program so you can't run another instance.");
}

TEST(StringTable, FormatsFillAsTheyAreUsed) {
  char line[256];
  wsprintfA(line, LoadText(IDS_SPEED_FORMAT).c_str(), "48.0x", 8448);
  EXPECT_STREQ(line, "48.0x (8448 KB/sec)");
  wsprintfA(line, LoadText(IDS_SUMMARY_DRIVE).c_str(), "P", "V", "R");
  EXPECT_STREQ(line, "Drive: P V (R)");
}

// ---- dialog templates ----

struct DialogSize {
  UINT id;
  short cx, cy;
  bool page;
};

constexpr DialogSize kDialogs[] = {
    {IDD_ABOUTBOX, 195, 99, false}, {IDD_WELCOME, 317, 193, true}, {IDD_DEVICE, 317, 143, true},
    {IDD_OPTIONS, 317, 143, true},  {IDD_BURNING, 317, 143, true}, {IDD_WAIT, 227, 73, false},
    {IDD_SUMMARY, 317, 143, true},  {IDD_FINISH, 317, 193, true},  {IDD_TRANSPORT, 317, 143, true},
    {IDD_IMAGE, 317, 143, true},    {IDD_MODE, 317, 143, true},
};

TEST(DialogTemplates, EachHasItsSizeFontAndKind) {
  for (const DialogSize& d : kDialogs) {
    SCOPED_TRACE("dialog " + std::to_string(d.id));
    DialogTemplate t = ParseDialog(d.id);
    ASSERT_TRUE(t.extended);
    EXPECT_EQ(t.cx, d.cx);
    EXPECT_EQ(t.cy, d.cy);
    EXPECT_EQ(t.face, "MS Shell Dlg");
    EXPECT_EQ(t.pointSize, 8);
    if (d.page) {
      EXPECT_EQ(t.title, "Quillfire Wizard");
      EXPECT_TRUE(t.style & WS_CHILD);
      EXPECT_TRUE(t.style & DS_CONTROL);
      EXPECT_FALSE(t.style & WS_POPUP);
    } else {
      EXPECT_TRUE(t.style & WS_POPUP);
      EXPECT_TRUE(t.style & DS_MODALFRAME);
    }
  }
}

TEST(DialogTemplates, PlacedControlsSitWhereTheLayoutPutsThem) {
  DialogTemplate welcome = ParseDialog(IDD_WELCOME);
  ExpectPlaced(welcome, IDC_WELCOME_TITLE, {115, 8, 195, 24});

  DialogTemplate transport = ParseDialog(IDD_TRANSPORT);
  ExpectPlaced(transport, IDC_SPTI, {21, 17, 130, 10});
  ExpectPlaced(transport, IDC_ASPI, {21, 51, 163, 10});

  DialogTemplate finish = ParseDialog(IDD_FINISH);
  ExpectPlaced(finish, IDC_FINISH_TITLE, {115, 8, 202, 21});
  ExpectPlaced(finish, IDC_FINISH_RESULT, {115, 40, 195, 28});

  DialogTemplate wait = ParseDialog(IDD_WAIT);
  ExpectPlaced(wait, IDC_WAIT_ANIMATION, {7, 7, 48, 41});
  ExpectPlaced(wait, IDC_WAIT_ACTION, {62, 7, 158, 33});
  ExpectPlaced(wait, IDC_WAIT_CANCELLING, {62, 55, 47, 12});
  ExpectPlaced(wait, IDCANCEL, {170, 52, 50, 14});

  DialogTemplate about = ParseDialog(IDD_ABOUTBOX);
  ExpectPlaced(about, IDC_ABOUT_VERSION, {35, 30, 153, 8});
  ExpectPlaced(about, IDC_WEB_LINK, {35, 53, 98, 8});
  ExpectPlaced(about, IDC_MAIL_LINK, {35, 61, 89, 8});
  ExpectPlaced(about, IDOK, {72, 76, 50, 14});

  const DialogItem* summary = ParseDialog(IDD_SUMMARY).Item(IDC_SUMMARY_TEXT);
  ASSERT_NE(summary, nullptr);
  EXPECT_EQ(summary->cx, 275);
  EXPECT_EQ(summary->cy, 113);
}

TEST(DialogTemplates, PageControlsHaveTheirKindAndStyle) {
  DialogTemplate transport = ParseDialog(IDD_TRANSPORT);
  for (int id : {IDC_SPTI, IDC_ASPI}) {
    const DialogItem* radio = transport.Item(id);
    ASSERT_NE(radio, nullptr);
    EXPECT_EQ(radio->className, kButton);
    EXPECT_EQ(radio->style & BS_TYPEMASK, static_cast<DWORD>(BS_AUTORADIOBUTTON));
  }
  // One group: the first radio starts it, the second continues it.
  EXPECT_TRUE(transport.Item(IDC_SPTI)->style & WS_GROUP);
  EXPECT_FALSE(transport.Item(IDC_ASPI)->style & WS_GROUP);
  EXPECT_EQ(transport.Item(IDC_SPTI)->text, "SPTI - SCSI Pass Through Interface");
  EXPECT_EQ(transport.Item(IDC_ASPI)->text, "ASPI - Advanced SCSI Programming Interface");

  DialogTemplate device = ParseDialog(IDD_DEVICE);
  ASSERT_NE(device.Item(IDC_DEVICE_LIST), nullptr);
  EXPECT_EQ(device.Item(IDC_DEVICE_LIST)->className, "SYSLISTVIEW32");
  EXPECT_EQ(device.Item(IDC_DEVICE_LIST)->style & (LVS_TYPEMASK | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER),
            static_cast<DWORD>(LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER));
  ASSERT_NE(device.Item(IDC_REFRESH), nullptr);
  EXPECT_EQ(device.Item(IDC_REFRESH)->text, "Refresh...");

  DialogTemplate image = ParseDialog(IDD_IMAGE);
  ASSERT_NE(image.Item(IDC_IMAGE_PATH), nullptr);
  EXPECT_EQ(image.Item(IDC_IMAGE_PATH)->className, kEdit);
  EXPECT_TRUE(image.Item(IDC_IMAGE_PATH)->style & ES_READONLY);
  EXPECT_TRUE(image.Item(IDC_IMAGE_PATH)->style & ES_AUTOHSCROLL);
  ASSERT_NE(image.Item(IDC_BROWSE), nullptr);
  EXPECT_EQ(image.Item(IDC_BROWSE)->text, "...");
  ASSERT_NE(image.Item(IDC_IMAGE_INFO), nullptr);
  EXPECT_EQ(image.Item(IDC_IMAGE_INFO)->className, kStatic);

  for (auto [dialog, combo, check] : {std::tuple{IDD_MODE, IDC_MODE_COMBO, IDC_TEST_MODE},
                                      std::tuple{IDD_OPTIONS, IDC_SPEED_COMBO, IDC_SEND_OPC}}) {
    DialogTemplate t = ParseDialog(dialog);
    ASSERT_NE(t.Item(combo), nullptr);
    EXPECT_EQ(t.Item(combo)->className, kComboBox);
    EXPECT_EQ(t.Item(combo)->style & 3, static_cast<DWORD>(CBS_DROPDOWNLIST));
    EXPECT_FALSE(t.Item(combo)->style & CBS_SORT) << "entries keep their insertion order";
    ASSERT_NE(t.Item(check), nullptr);
    EXPECT_EQ(t.Item(check)->style & BS_TYPEMASK, static_cast<DWORD>(BS_AUTOCHECKBOX));
  }

  DialogTemplate summary = ParseDialog(IDD_SUMMARY);
  EXPECT_EQ(summary.Item(IDC_SUMMARY_TEXT)->style & (ES_MULTILINE | ES_READONLY),
            static_cast<DWORD>(ES_MULTILINE | ES_READONLY));

  DialogTemplate burning = ParseDialog(IDD_BURNING);
  for (int id : {IDC_BURN_LOG, IDC_BURN_PROGRESS, IDC_BURN_PERCENT, IDC_SAVE_LOG})
    ASSERT_NE(burning.Item(id), nullptr) << id;
  EXPECT_EQ(burning.Item(IDC_BURN_LOG)->style & LVS_TYPEMASK, static_cast<DWORD>(LVS_REPORT));
  EXPECT_EQ(burning.Item(IDC_BURN_PROGRESS)->className, "MSCTLS_PROGRESS32");
  EXPECT_FALSE(burning.Item(IDC_BURN_PERCENT)->style & WS_VISIBLE) << "the percentage starts hidden";
  EXPECT_EQ(burning.Item(IDC_BURN_PERCENT)->text, "100%");
  EXPECT_EQ(burning.Item(IDC_SAVE_LOG)->text, "Save Log...");

  DialogTemplate finish = ParseDialog(IDD_FINISH);
  EXPECT_EQ(finish.Item(IDC_FINISH_TITLE)->text, "Completing the Quillfire Wizard");
}

TEST(DialogTemplates, WaitDialogHasNoCloseBoxAndAHiddenCancellingLabel) {
  DialogTemplate wait = ParseDialog(IDD_WAIT);
  EXPECT_TRUE(wait.style & WS_CAPTION);
  EXPECT_FALSE(wait.style & WS_SYSMENU);
  EXPECT_EQ(wait.title, "Caption");
  const DialogItem* animation = wait.Item(IDC_WAIT_ANIMATION);
  ASSERT_NE(animation, nullptr);
  EXPECT_EQ(animation->className, "SYSANIMATE32");
  EXPECT_EQ(animation->style & (ACS_TRANSPARENT | ACS_AUTOPLAY), static_cast<DWORD>(ACS_TRANSPARENT | ACS_AUTOPLAY));
  EXPECT_FALSE(wait.Item(IDC_WAIT_CANCELLING)->style & WS_VISIBLE);
  EXPECT_EQ(wait.Item(IDC_WAIT_CANCELLING)->text, "Canceling...");
  EXPECT_EQ(wait.Item(IDCANCEL)->text, "Cancel");
}

TEST_F(WindowTest, EveryTemplateCreatesWithItsControls) {
  for (const DialogSize& d : kDialogs) {
    SCOPED_TRACE("dialog " + std::to_string(d.id));
    HWND dialog = CreateDialogParamA(Module(), MAKEINTRESOURCEA(d.id), m_host, PlainDialogProc, 0);
    ASSERT_NE(dialog, nullptr) << GetLastError();
    for (const DialogItem& item : ParseDialog(d.id).items) {
      if (item.id == IDC_STATIC) continue;
      HWND control = GetDlgItem(dialog, item.id);
      EXPECT_NE(control, nullptr) << "control " << item.id;
    }
    DestroyWindow(dialog);
  }
}

TEST_F(WindowTest, AboutBoxShowsTheIconAndLinkTexts) {
  HWND about = CreateDialogParamA(Module(), MAKEINTRESOURCEA(IDD_ABOUTBOX), m_host, PlainDialogProc, 0);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(WindowText(about), "About Quillfire Wizard");
  std::string web = WindowText(GetDlgItem(about, IDC_WEB_LINK));
  EXPECT_TRUE(web.rfind("http://", 0) == 0 || web.rfind("https://", 0) == 0) << web;
  std::string mail = WindowText(GetDlgItem(about, IDC_MAIL_LINK));
  EXPECT_NE(mail.find('@'), std::string::npos) << mail;
  EXPECT_EQ(mail.find(' '), std::string::npos) << mail;
  bool iconShown = false;
  for (HWND child = GetWindow(about, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (WindowClass(child) == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      iconShown = SendMessageA(child, STM_GETICON, 0, 0) != 0;
  }
  EXPECT_TRUE(iconShown);
  DestroyWindow(about);
}

// The nine pages in a real Wizard 97 sheet with the watermark and header pictures.
TEST_F(WindowTest, PagesRunInAWizard97Sheet) {
  const UINT pages[] = {IDD_WELCOME, IDD_TRANSPORT, IDD_DEVICE, IDD_IMAGE, IDD_MODE,
                        IDD_OPTIONS, IDD_SUMMARY,   IDD_BURNING, IDD_FINISH};
  const int firstControl[] = {IDC_WELCOME_TITLE, IDC_SPTI,     IDC_DEVICE_LIST, IDC_IMAGE_PATH,  IDC_MODE_COMBO,
                              IDC_SPEED_COMBO,   IDC_SUMMARY_TEXT, IDC_BURN_LOG, IDC_FINISH_RESULT};
  const UINT titles[][2] = {{0, 0},
                            {IDS_TRANSPORT_TITLE, IDS_TRANSPORT_SUBTITLE},
                            {IDS_DEVICE_TITLE, IDS_DEVICE_SUBTITLE},
                            {IDS_IMAGE_TITLE, IDS_IMAGE_SUBTITLE},
                            {IDS_MODE_TITLE, IDS_MODE_SUBTITLE},
                            {IDS_OPTIONS_TITLE, IDS_OPTIONS_SUBTITLE},
                            {IDS_SUMMARY_TITLE, IDS_SUMMARY_SUBTITLE},
                            {IDS_BURNING_TITLE, IDS_BURNING_SUBTITLE},
                            {0, 0}};
  HPROPSHEETPAGE handles[9];
  for (int i = 0; i < 9; ++i) {
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof page;
    page.hInstance = Module();
    page.pszTemplate = MAKEINTRESOURCEA(pages[i]);
    page.pfnDlgProc = PlainDialogProc;
    page.dwFlags = PSP_HASHELP;
    if (titles[i][0]) {
      page.dwFlags |= PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE;
      page.pszHeaderTitle = MAKEINTRESOURCEA(titles[i][0]);
      page.pszHeaderSubTitle = MAKEINTRESOURCEA(titles[i][1]);
    } else {
      page.dwFlags |= PSP_HIDEHEADER;
    }
    handles[i] = CreatePropertySheetPageA(&page);
    ASSERT_NE(handles[i], nullptr);
  }
  PROPSHEETHEADERA header = {};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_WIZARD97 | PSH_HEADER | PSH_WATERMARK | PSH_HASHELP | PSH_MODELESS;
  header.hwndParent = m_host;
  header.hInstance = Module();
  header.pszCaption = "Quillfire Wizard";
  header.nPages = 9;
  header.phpage = handles;
  header.pszbmWatermark = MAKEINTRESOURCEA(IDB_WATERMARK);
  header.pszbmHeader = MAKEINTRESOURCEA(IDB_HEADER);
  HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
  ASSERT_NE(sheet, nullptr);
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE("page " + std::to_string(i));
    ASSERT_TRUE(SendMessageA(sheet, PSM_SETCURSEL, i, 0));
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    ASSERT_NE(page, nullptr);
    EXPECT_NE(GetDlgItem(page, firstControl[i]), nullptr);
  }
  DestroyWindow(sheet);
}

// ---- pictures ----

struct BitmapFacts {
  LONG width = 0, height = 0;
  WORD bits = 0;
  DWORD compression = 99;
};

BitmapFacts BitmapHeader(UINT id) {
  BitmapFacts f;
  Blob blob = FindBlob(RT_BITMAP, id);
  if (!blob.data || blob.size < sizeof(BITMAPINFOHEADER)) return f;
  BITMAPINFOHEADER info = Read<BITMAPINFOHEADER>(blob.data);
  f.width = info.biWidth;
  f.height = info.biHeight;
  f.bits = info.biBitCount;
  f.compression = info.biCompression;
  return f;
}

TEST(Pictures, WizardBitmapsHaveTheirSizeAndDepth) {
  struct {
    UINT id;
    LONG width, height;
  } expected[] = {{IDB_WATERMARK, 164, 314}, {IDB_HEADER, 59, 59}};
  for (const auto& e : expected) {
    SCOPED_TRACE("bitmap " + std::to_string(e.id));
    BitmapFacts f = BitmapHeader(e.id);
    EXPECT_EQ(f.width, e.width);
    EXPECT_EQ(f.height, e.height) << "bottom-up rows";
    EXPECT_EQ(f.bits, 24);
    EXPECT_EQ(f.compression, static_cast<DWORD>(BI_RGB));

    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(Module(), MAKEINTRESOURCEA(e.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    DIBSECTION dib = {};
    ASSERT_EQ(GetObjectA(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib));
    EXPECT_EQ(dib.dsBm.bmWidth, e.width);
    EXPECT_EQ(dib.dsBm.bmHeight, e.height);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);
    // A drawn picture, not a flat fill.
    std::set<COLORREF> colours;
    const unsigned char* bits = static_cast<const unsigned char*>(dib.dsBm.bmBits);
    for (LONG y = 0; y < e.height; ++y)
      for (LONG x = 0; x < e.width; ++x) {
        const unsigned char* p = bits + y * dib.dsBm.bmWidthBytes + x * 3;
        colours.insert(RGB(p[2], p[1], p[0]));
      }
    EXPECT_GT(colours.size(), 500u);
    DeleteObject(bitmap);
  }
}

TEST(Pictures, IconHoldsThreeSizesWithAlpha) {
  Blob group = FindBlob(RT_GROUP_ICON, IDI_QUILLFIRE);
  ASSERT_NE(group.data, nullptr);
  ASSERT_GE(group.size, 6u);
  WORD count = Read<WORD>(group.data + 4);
  std::set<int> sizes;
  for (WORD i = 0; i < count && 6u + 14u * (i + 1) <= group.size; ++i) {
    const unsigned char* entry = group.data + 6 + 14 * i;
    int width = entry[0] ? entry[0] : 256;
    EXPECT_EQ(entry[0], entry[1]) << "square images";
    EXPECT_EQ(Read<WORD>(entry + 6), 32) << "32-bit image of " << width;
    sizes.insert(width);
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48}));

  for (int size : {16, 32, 48}) {
    HICON icon = static_cast<HICON>(LoadImageA(Module(), MAKEINTRESOURCEA(IDI_QUILLFIRE), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP colour = {};
    ASSERT_NE(info.hbmColor, nullptr);
    GetObjectA(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, size);
    EXPECT_EQ(colour.bmHeight, size);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

TEST(Pictures, HandCursorPointsWithItsFingertip) {
  HCURSOR cursor = LoadCursorA(Module(), MAKEINTRESOURCEA(IDC_HAND_CURSOR));
  ASSERT_NE(cursor, nullptr);
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(cursor, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 6u);
  EXPECT_EQ(info.yHotspot, 0u);
  EXPECT_EQ(info.hbmColor, nullptr) << "monochrome: mask only";
  BITMAP mask = {};
  GetObjectA(info.hbmMask, sizeof mask, &mask);
  EXPECT_EQ(mask.bmWidth, 32);
  EXPECT_EQ(mask.bmHeight, 64) << "AND and XOR halves of a 32 x 32 cursor";
  if (info.hbmMask) DeleteObject(info.hbmMask);
}

// ---- animation clip ----

TEST(AnimationClip, HeadersDescribeFourUncompressedFrames) {
  Blob avi = FindBlob("AVI", IDR_AVI_SEARCH);
  ASSERT_NE(avi.data, nullptr);
  ASSERT_GT(avi.size, 200u);
  const unsigned char* p = avi.data;
  ASSERT_EQ(std::memcmp(p, "RIFF", 4), 0);
  EXPECT_EQ(Read<DWORD>(p + 4) + 8, avi.size);
  ASSERT_EQ(std::memcmp(p + 8, "AVI ", 4), 0);
  auto find = [&](const char* fourcc) -> const unsigned char* {
    for (DWORD i = 12; i + 8 <= avi.size; ++i)
      if (std::memcmp(p + i, fourcc, 4) == 0) return p + i + 8;
    return nullptr;
  };
  const unsigned char* avih = find("avih");
  ASSERT_NE(avih, nullptr);
  EXPECT_EQ(Read<DWORD>(avih), 333333u) << "microseconds per frame";
  EXPECT_EQ(Read<DWORD>(avih + 16), 4u) << "frames";
  EXPECT_EQ(Read<DWORD>(avih + 24), 1u) << "streams";
  EXPECT_EQ(Read<DWORD>(avih + 32), 72u);
  EXPECT_EQ(Read<DWORD>(avih + 36), 96u);
  const unsigned char* strh = find("strh");
  ASSERT_NE(strh, nullptr);
  EXPECT_EQ(std::memcmp(strh, "vids", 4), 0);
  EXPECT_EQ(Read<DWORD>(strh + 24) / Read<DWORD>(strh + 20), 3u) << "rate / scale";
  EXPECT_EQ(Read<DWORD>(strh + 32), 4u) << "stream length";
  const unsigned char* strf = find("strf");
  ASSERT_NE(strf, nullptr);
  BITMAPINFOHEADER format = Read<BITMAPINFOHEADER>(strf);
  EXPECT_EQ(format.biWidth, 72);
  EXPECT_EQ(format.biHeight, 96);
  EXPECT_EQ(format.biBitCount, 24);
  EXPECT_EQ(format.biCompression, static_cast<DWORD>(BI_RGB));
  const unsigned char* index = find("idx1");
  ASSERT_NE(index, nullptr);
  EXPECT_EQ(Read<DWORD>(index - 4), 4u * 16u) << "one index entry per frame";
  const unsigned char* movi = find("movi") - 8;
  for (int frame = 0; frame < 4; ++frame) {
    const unsigned char* entry = index + 16 * frame;
    const unsigned char* chunk = movi + Read<DWORD>(entry + 8);
    ASSERT_LT(chunk + 8, p + avi.size);
    EXPECT_EQ(std::memcmp(chunk, entry, 4), 0) << "index entry " << frame << " points at its chunk";
    EXPECT_EQ(Read<DWORD>(chunk + 4), 72u * 3u * 96u);
  }
}

TEST_F(WindowTest, AnimationControlOpensAndPlaysTheClip) {
  HWND animation = CreateWindowExA(0, ANIMATE_CLASSA, "", WS_CHILD | WS_VISIBLE | ACS_TRANSPARENT, 0, 0, 10,
                                   10, m_host, nullptr, Module(), nullptr);
  ASSERT_NE(animation, nullptr);
  ASSERT_TRUE(SendMessageA(animation, ACM_OPENA, reinterpret_cast<WPARAM>(Module()),
                           reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(IDR_AVI_SEARCH))));
  RECT r = {};
  GetWindowRect(animation, &r);
  EXPECT_EQ(r.right - r.left, 72) << "the control takes the clip's frame size";
  EXPECT_EQ(r.bottom - r.top, 96);
  EXPECT_TRUE(SendMessageA(animation, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 3)));
  SendMessageA(animation, ACM_STOP, 0, 0);
  DestroyWindow(animation);
}

// ---- manifest and version ----

TEST(Manifest, BindsCommonControlsSixAndRunsAsInvoker) {
  Blob manifest = FindBlob(MAKEINTRESOURCEA(24), 1);
  ASSERT_NE(manifest.data, nullptr);
  std::string text(reinterpret_cast<const char*>(manifest.data), manifest.size);
  EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);

  // The loader honoured it: this process's activation context redirects comctl32 to the
  // side-by-side version 6.
  ACTCTX_SECTION_KEYED_DATA data = {};
  data.cbSize = sizeof data;
  EXPECT_TRUE(FindActCtxSectionStringA(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, "comctl32.dll", &data));
}

TEST(VersionInfo, NamesTheProductAndItsVersion) {
  char path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
  DWORD size = GetFileVersionInfoSizeA(path, nullptr);
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> copy(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, copy.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(copy.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  char* product = nullptr;
  ASSERT_TRUE(VerQueryValueA(copy.data(), "\\StringFileInfo\\040904e4\\ProductName", reinterpret_cast<void**>(&product),
                             &length));
  EXPECT_STREQ(product, "Quillfire");
}
