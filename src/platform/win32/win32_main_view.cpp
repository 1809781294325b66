// frm_WinMain as a Win32 window with real system controls.
#include "platform/win32/win32_main_view.h"

// After the program's own headers: <commdlg.h> defines the OFN_ flags as macros, which
// would clash with their declarations in ui/main_view.h.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

#include "common/system_text_win32.h"
#include "ui/progress_scale.h"

namespace velmora {

namespace {

constexpr const wchar_t* kWindowClass = L"VelmoraMainWindow";
constexpr const wchar_t* kCaption = L"Velmora";

// The controls in creation order, which is also the tab order: a label comes right before
// the box it names, so its Alt key moves there.
enum Control : int {
    fr1, lbl1, ed_Source, cmd_Source, lbl2, ed_Target, cmd_Target,
    fr2, lbl3, ed_Delay, lbl4, ed_EndDelay, chk_AddSilent, chk_Repair, cmd_Write,
    fr_Info, ed_Info,
    fr3, lbl5, ed_Status, lbl6, pro_Status,
    kControlCount
};

// Command numbers stay clear of IDOK and IDCANCEL, which Enter and Escape send.
constexpr int kFirstId = 100;

struct ControlLayout {
    const wchar_t* windowClass;
    const wchar_t* text;
    DWORD style;
};

constexpr DWORD kBox = WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kLabel = SS_LEFT | SS_CENTERIMAGE;

const std::array<ControlLayout, kControlCount> kControls{{
    {L"BUTTON", L"Files", BS_GROUPBOX},
    {L"STATIC", L"&Source:", kLabel},
    {L"EDIT", L"", kBox},
    {L"BUTTON", L"&Open...", WS_TABSTOP | BS_PUSHBUTTON},
    {L"STATIC", L"&Target:", kLabel},
    {L"EDIT", L"", kBox},
    {L"BUTTON", L"Save &as...", WS_TABSTOP | BS_PUSHBUTTON},
    {L"BUTTON", L"Correction", BS_GROUPBOX},
    {L"STATIC", L"Start &delay (ms):", kLabel},
    {L"EDIT", L"0", kBox},
    {L"STATIC", L"&End delay (ms):", kLabel},
    {L"EDIT", L"0", kBox},
    // Three states, set by the program only: the user's clicks are handled below.
    {L"BUTTON", L"Add s&ilence at start", WS_TABSTOP | BS_3STATE},
    {L"BUTTON", L"&Repair damaged frames", WS_TABSTOP | BS_AUTOCHECKBOX},
    {L"BUTTON", L"&Write", WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED},
    {L"BUTTON", L"Information", BS_GROUPBOX},
    {L"EDIT", L"", WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                       WS_VSCROLL | WS_HSCROLL},
    {L"BUTTON", L"Progress", BS_GROUPBOX},
    {L"STATIC", L"Status:", kLabel},
    {L"EDIT", L"", ES_READONLY | ES_AUTOHSCROLL},
    {L"STATIC", L"Progress:", kLabel},
    {PROGRESS_CLASSW, L"", 0},
}};

int ControlOf(TextBox box) {
    switch (box) {
        case TextBox::ed_Source:
            return ed_Source;
        case TextBox::ed_Target:
            return ed_Target;
        case TextBox::ed_Delay:
            return ed_Delay;
        case TextBox::ed_EndDelay:
            return ed_EndDelay;
        case TextBox::ed_Status:
            return ed_Status;
        case TextBox::ed_Info:
            break;
    }
    return ed_Info;
}

std::vector<std::string> SplitLabels(const std::string& buttons) {
    std::vector<std::string> labels;
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = buttons.find('|', start);
        labels.push_back(buttons.substr(start, bar - start));
        if (bar == std::string::npos) {
            return labels;
        }
        start = bar + 1;
    }
}

// The system's message boxes know fixed rows of buttons; the row is chosen by its labels.
struct ButtonRow {
    UINT type;
    std::vector<std::pair<std::string, int>> buttons;  // label and the answer it gives
};

const std::array<ButtonRow, 6> kButtonRows{{
    {MB_OK, {{"OK", IDOK}}},
    {MB_OKCANCEL, {{"OK", IDOK}, {"Cancel", IDCANCEL}}},
    {MB_YESNO, {{"Yes", IDYES}, {"No", IDNO}}},
    {MB_YESNOCANCEL, {{"Yes", IDYES}, {"No", IDNO}, {"Cancel", IDCANCEL}}},
    {MB_RETRYCANCEL, {{"Retry", IDRETRY}, {"Cancel", IDCANCEL}}},
    {MB_ABORTRETRYIGNORE, {{"Abort", IDABORT}, {"Retry", IDRETRY}, {"Ignore", IDIGNORE}}},
}};

const ButtonRow& RowFor(const std::vector<std::string>& labels) {
    for (const ButtonRow& row : kButtonRows) {
        if (row.buttons.size() == labels.size()) {
            bool same = true;
            for (std::size_t i = 0; i < labels.size(); ++i) {
                same = same && row.buttons[i].first == labels[i];
            }
            if (same) {
                return row;
            }
        }
    }
    // Labels no system box has: the text is still shown, with OK.
    return kButtonRows[0];
}

// "AC3-Files|*.AC3|..." as the dialogs take it: every part ended by a null, two at the end.
std::wstring DialogFilter(const std::string& filter) {
    std::wstring wide = WideFromUtf8(filter);
    for (wchar_t& c : wide) {
        if (c == L'|') {
            c = L'\0';
        }
    }
    wide.push_back(L'\0');
    wide.push_back(L'\0');
    return wide;
}

std::optional<std::string> RunFileDialog(HWND owner, const FileDialogConfig& config, bool save) {
    // Room for the longest name the system allows.
    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring initial = WideFromUtf8(config.initialName);
    if (initial.size() < file.size()) {
        std::copy(initial.begin(), initial.end(), file.begin());
    }
    const std::wstring filter = DialogFilter(config.filter);
    const std::wstring title = WideFromUtf8(config.title);
    const std::wstring folder = WideFromUtf8(config.folder);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(config.selectedFilter);
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    // The given flags, plus what every modern dialog wants: the Explorer look, and the
    // program's current folder left where it was.
    dialog.Flags = config.flags | OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    const BOOL chosen = save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
    if (!chosen) {
        return std::nullopt;
    }
    return Utf8FromWide(file.data());
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* view = reinterpret_cast<Win32MainView*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (view == nullptr || view->Handle() == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return view->HandleMessage(message, wParam, lParam);
}

void RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    if (::GetClassInfoExW(instance, kWindowClass, &windowClass)) {
        return;
    }
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    // The program's icon is resource 1 of the executable (see velmora.rc).
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass);
}

int Scaled(int pixels, unsigned dpi) {
    return ::MulDiv(pixels, static_cast<int>(dpi), 96);
}

// The smallest client area (at 96 dots per inch) in which every control keeps its room.
constexpr int kMinClientWidth = 720;
constexpr int kMinClientHeight = 470;

}  // namespace

Win32MainView::Win32MainView() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX common{sizeof common, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&common);
    RegisterWindowClass(instance);
    window_ = ::CreateWindowExW(WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT, kWindowClass, kCaption,
                                WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 800, 600, nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        return;
    }
    CreateControls();
    ApplyDpi(::GetDpiForWindow(window_));
    // The first size: wider than the least, so long names fit.
    Resize(WindowSize{780, 600});
}

std::optional<WindowSize> Win32MainView::Size() const {
    RECT client{};
    // A minimised or maximised window says nothing of the size the user gave it.
    if (window_ == nullptr || ::IsIconic(window_) || ::IsZoomed(window_) ||
        !::GetClientRect(window_, &client)) {
        return std::nullopt;
    }
    return WindowSize{::MulDiv(client.right, 96, static_cast<int>(dpi_)),
                      ::MulDiv(client.bottom, 96, static_cast<int>(dpi_))};
}

void Win32MainView::Resize(WindowSize size) {
    if (window_ == nullptr) {
        return;
    }
    RECT frame{0, 0, Scaled(size.width, dpi_), Scaled(size.height, dpi_)};
    ::AdjustWindowRectExForDpi(&frame, WS_OVERLAPPEDWINDOW, FALSE,
                               WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT, dpi_);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    // Within the screen's work area; the least size (WM_GETMINMAXINFO) still holds.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor)) {
        width = std::min(width, static_cast<int>(monitor.rcWork.right - monitor.rcWork.left));
        height = std::min(height, static_cast<int>(monitor.rcWork.bottom - monitor.rcWork.top));
    }
    ::SetWindowPos(window_, nullptr, 0, 0, width, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
}

Win32MainView::~Win32MainView() {
    if (window_ != nullptr) {
        const HWND window = window_;
        // The procedure stops calling into this object before it goes away.
        window_ = nullptr;
        ::DestroyWindow(window);
    }
    for (HFONT font : {font_, fixedFont_}) {
        if (font != nullptr) {
            ::DeleteObject(font);
        }
    }
}

void Win32MainView::CreateControls() {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    for (int i = 0; i < kControlCount; ++i) {
        const ControlLayout& control = kControls[static_cast<std::size_t>(i)];
        // Edit boxes get the sunken border a dialog gives them; a plain window does not.
        const DWORD extended =
            std::wstring_view(control.windowClass) == L"EDIT" ? WS_EX_CLIENTEDGE : 0;
        controls_[static_cast<std::size_t>(i)] = ::CreateWindowExW(
            extended, control.windowClass, control.text, WS_CHILD | WS_VISIBLE | control.style,
            0, 0, 10, 10, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + i)),
            instance, nullptr);
    }
    // The information box holds whole reports, far beyond an edit box's usual 32 K.
    for (int box : {ed_Source, ed_Target, ed_Delay, ed_EndDelay, ed_Status, ed_Info}) {
        ::SendMessageW(controls_[static_cast<std::size_t>(box)], EM_SETLIMITTEXT, 0, 0);
    }
    ::DragAcceptFiles(window_, TRUE);
}

void Win32MainView::ApplyDpi(unsigned dpi) {
    dpi_ = dpi == 0 ? 96 : dpi;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi_);
    for (HFONT font : {font_, fixedFont_}) {
        if (font != nullptr) {
            ::DeleteObject(font);
        }
    }
    font_ = ::CreateFontIndirectW(&metrics.lfMessageFont);
    // The report's columns line up only in a fixed-pitch font.
    LOGFONTW fixed = metrics.lfMessageFont;
    fixed.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    wcscpy_s(fixed.lfFaceName, L"Consolas");
    fixedFont_ = ::CreateFontIndirectW(&fixed);
    for (int i = 0; i < kControlCount; ++i) {
        ::SendMessageW(controls_[static_cast<std::size_t>(i)], WM_SETFONT,
                       reinterpret_cast<WPARAM>(i == ed_Info ? fixedFont_ : font_), TRUE);
    }
    // One line of the font, its border and a pixel of room above and below.
    TEXTMETRICW text{};
    const HDC context = ::GetDC(window_);
    const HGDIOBJ previous = ::SelectObject(context, font_);
    ::GetTextMetricsW(context, &text);
    ::SelectObject(context, previous);
    ::ReleaseDC(window_, context);
    editHeight_ = static_cast<int>(text.tmHeight) +
                  2 * (::GetSystemMetricsForDpi(SM_CYEDGE, dpi_) + Scaled(1, dpi_));
}

namespace {

// Moves the controls in one go, so the window repaints once; sizes are at 96 dpi and scaled.
class Placer {
  public:
    Placer(const std::array<HWND, kControlCount>& controls, int editHeight, unsigned dpi,
           RECT client)
        : controls_(controls), editHeight_(editHeight), dpi_(dpi),
          width(std::max(static_cast<int>(client.right), S(kMinClientWidth))),
          height(std::max(static_cast<int>(client.bottom), S(kMinClientHeight))),
          moves_(::BeginDeferWindowPos(kControlCount)) {}
    ~Placer() { ::EndDeferWindowPos(moves_); }
    Placer(const Placer&) = delete;
    Placer& operator=(const Placer&) = delete;

    [[nodiscard]] int S(int pixels) const { return Scaled(pixels, dpi_); }

    void Place(int control, int x, int y, int w, int h) {
        // A one-line edit box keeps its own height, centred on the row: the text then sits
        // level with its label instead of at the box's top.
        const bool oneLine = kControls[static_cast<std::size_t>(control)].style == kBox ||
                             control == ed_Status;
        if (oneLine && editHeight_ > 0 && editHeight_ < h) {
            y += (h - editHeight_) / 2;
            h = editHeight_;
        }
        moves_ = ::DeferWindowPos(moves_, controls_[static_cast<std::size_t>(control)], nullptr, x,
                                  y, std::max(w, 1), std::max(h, 1),
                                  SWP_NOZORDER | SWP_NOACTIVATE);
    }

  private:
    const std::array<HWND, kControlCount>& controls_;
    int editHeight_;
    unsigned dpi_;

  public:
    const int width;
    const int height;
    const int margin = S(10);
    const int pad = S(10);
    const int title = S(20);
    const int row = S(24);
    const int gap = S(8);
    const int buttonWidth = S(100);
    const int labelWidth = S(70);
    const int inner = margin + pad;
    const int innerRight = width - margin - pad;

  private:
    HDWP moves_;
};

// Files: two rows of label, name box and button. Returns where the next group starts.
int PlaceFiles(Placer& p, int y) {
    const int filesHeight = p.title + p.row + p.gap + p.row + p.pad;
    p.Place(fr1, p.margin, y, p.width - 2 * p.margin, filesHeight);
    for (const auto [label, box, button, rowY] :
         {std::array<int, 4>{lbl1, ed_Source, cmd_Source, y + p.title},
          std::array<int, 4>{lbl2, ed_Target, cmd_Target, y + p.title + p.row + p.gap}}) {
        p.Place(label, p.inner, rowY, p.labelWidth, p.row);
        p.Place(box, p.inner + p.labelWidth, rowY,
                p.innerRight - p.buttonWidth - p.gap - p.inner - p.labelWidth, p.row);
        p.Place(button, p.innerRight - p.buttonWidth, rowY, p.buttonWidth, p.row);
    }
    return y + filesHeight + p.margin;
}

// Correction: the delays on one row, the check boxes and Write on the next.
int PlaceCorrection(Placer& p, int y) {
    const int correctionHeight = p.title + p.row + p.gap + p.row + p.pad;
    p.Place(fr2, p.margin, y, p.width - 2 * p.margin, correctionHeight);
    int x = p.inner;
    const int rowY = y + p.title;
    p.Place(lbl3, x, rowY, p.S(110), p.row);
    x += p.S(110);
    p.Place(ed_Delay, x, rowY, p.S(70), p.row);
    x += p.S(70) + p.S(16);
    p.Place(lbl4, x, rowY, p.S(100), p.row);
    x += p.S(100);
    p.Place(ed_EndDelay, x, rowY, p.S(70), p.row);
    x += p.S(70) + p.S(16);
    const int secondY = rowY + p.row + p.gap;
    p.Place(chk_AddSilent, p.inner, secondY, p.S(180), p.row);
    p.Place(chk_Repair, p.inner + p.S(196), secondY,
            p.innerRight - p.buttonWidth - p.gap - p.inner - p.S(196), p.row);
    p.Place(cmd_Write, p.innerRight - p.buttonWidth, secondY, p.buttonWidth, p.row);
    return y + correctionHeight + p.margin;
}

// Progress at the bottom, the information box in all the room between.
void PlaceInformationAndProgress(Placer& p, int y) {
    const int progressHeight = p.title + p.row + p.pad;
    const int progressY = p.height - p.margin - progressHeight;
    p.Place(fr_Info, p.margin, y, p.width - 2 * p.margin, progressY - p.margin - y);
    p.Place(ed_Info, p.inner, y + p.title, p.innerRight - p.inner,
            progressY - p.margin - p.pad - y - p.title);

    p.Place(fr3, p.margin, progressY, p.width - 2 * p.margin, progressHeight);
    const int statusLabel = p.S(50);
    const int progressLabel = p.S(65);
    const int room = p.innerRight - p.inner - statusLabel - progressLabel - p.S(16);
    int x = p.inner;
    p.Place(lbl5, x, progressY + p.title, statusLabel, p.row);
    x += statusLabel;
    p.Place(ed_Status, x, progressY + p.title, room / 3, p.row);
    x += room / 3 + p.S(16);
    p.Place(lbl6, x, progressY + p.title, progressLabel, p.row);
    x += progressLabel;
    p.Place(pro_Status, x, progressY + p.title + p.S(3), p.innerRight - x, p.row - p.S(6));
}

}  // namespace

void Win32MainView::Layout() {
    if (window_ == nullptr) {
        return;
    }
    RECT client{};
    ::GetClientRect(window_, &client);
    Placer placer(controls_, editHeight_, dpi_, client);
    int y = PlaceFiles(placer, placer.margin);
    y = PlaceCorrection(placer, y);
    PlaceInformationAndProgress(placer, y);
}

void Win32MainView::Attach(MainWindow& logic, std::function<void()> onClose) {
    logic_ = &logic;
    onClose_ = std::move(onClose);
}

std::string Win32MainView::Text(TextBox box) const {
    const HWND control = controls_[static_cast<std::size_t>(ControlOf(box))];
    const int length = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return Utf8FromWide(text);
}

void Win32MainView::SetText(TextBox box, const std::string& text) {
    const HWND control = controls_[static_cast<std::size_t>(ControlOf(box))];
    ::SetWindowTextW(control, WideFromUtf8(text).c_str());
    if (box == TextBox::ed_Info) {
        // The newest lines are the ones to see.
        const auto end = static_cast<WPARAM>(::GetWindowTextLengthW(control));
        ::SendMessageW(control, EM_SETSEL, end, static_cast<LPARAM>(end));
        ::SendMessageW(control, EM_SCROLLCARET, 0, 0);
    }
}

int Win32MainView::AddSilentValue() const {
    switch (::SendMessageW(controls_[chk_AddSilent], BM_GETCHECK, 0, 0)) {
        case BST_CHECKED:
            return 1;
        case BST_INDETERMINATE:
            return 2;
        default:
            return 0;
    }
}

bool Win32MainView::RepairChecked() const {
    return ::SendMessageW(controls_[chk_Repair], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32MainView::SetRepairChecked(bool checked) {
    ::SendMessageW(controls_[chk_Repair], BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32MainView::SetAddSilentValue(int value) {
    const WPARAM state = value == 1   ? BST_CHECKED
                         : value == 2 ? BST_INDETERMINATE
                                      : BST_UNCHECKED;
    ::SendMessageW(controls_[chk_AddSilent], BM_SETCHECK, state, 0);
}

bool Win32MainView::WriteEnabled() const {
    return ::IsWindowEnabled(controls_[cmd_Write]) != FALSE;
}

void Win32MainView::SetWriteEnabled(bool enabled) {
    ::EnableWindow(controls_[cmd_Write], enabled ? TRUE : FALSE);
}

void Win32MainView::SetProgressMaximum(std::int64_t maximum) {
    progressMaximum_ = maximum;
    ShowProgress();
}

void Win32MainView::SetProgressValue(std::int64_t value) {
    progressValue_ = value;
    ShowProgress();
}

void Win32MainView::ShowProgress() {
    const ProgressBarRange range = ScaleProgress(progressMaximum_, progressValue_);
    ::SendMessageW(controls_[pro_Status], PBM_SETRANGE32, 0, range.maximum);
    ::SendMessageW(controls_[pro_Status], PBM_SETPOS, static_cast<WPARAM>(range.value), 0);
}

void Win32MainView::SetVisible(bool visible) {
    if (window_ == nullptr) {
        return;
    }
    ::ShowWindow(window_, visible ? SW_SHOWNORMAL : SW_HIDE);
    if (visible) {
        ::UpdateWindow(window_);
    }
}

HWND Win32MainView::Owner() const {
    // A hidden window (a /Hidden run) cannot own a box: the box would not show.
    return window_ != nullptr && ::IsWindowVisible(window_) ? window_ : nullptr;
}

int Win32MainView::ShowMessage(MessageIcon icon, const std::string& text,
                               const std::string& buttons, int defaultButton) {
    const std::vector<std::string> labels = SplitLabels(buttons);
    const ButtonRow& row = RowFor(labels);
    UINT flags = row.type | MB_SETFOREGROUND;
    switch (icon) {
        case MessageIcon::Exclamation:
            flags |= MB_ICONEXCLAMATION;
            break;
        case MessageIcon::Question:
            flags |= MB_ICONQUESTION;
            break;
        case MessageIcon::Stop:
            flags |= MB_ICONSTOP;
            break;
        case MessageIcon::None:
            break;
    }
    if (defaultButton == 2) {
        flags |= MB_DEFBUTTON2;
    } else if (defaultButton == 3) {
        flags |= MB_DEFBUTTON3;
    }
    const HWND owner = Owner();
    if (owner == nullptr) {
        flags |= MB_TASKMODAL;
    }
    // The box has its own pointer; the busy one comes back when it closes.
    const int answer = ::MessageBoxW(owner, WideFromUtf8(text).c_str(), kCaption, flags);
    for (std::size_t i = 0; i < row.buttons.size(); ++i) {
        if (row.buttons[i].second == answer) {
            return static_cast<int>(i) + 1;
        }
    }
    // Closed without a button (Escape on a box without Cancel): the default stands.
    return defaultButton >= 1 && defaultButton <= static_cast<int>(row.buttons.size())
               ? defaultButton
               : 1;
}

std::optional<std::string> Win32MainView::ShowOpenDialog(const FileDialogConfig& config) {
    return RunFileDialog(Owner(), config, false);
}

std::optional<std::string> Win32MainView::ShowSaveDialog(const FileDialogConfig& config) {
    return RunFileDialog(Owner(), config, true);
}

void Win32MainView::ProcessPendingEvents() {
    // Repaints, moves, resizes and posted messages go through; clicks and keys wait in the
    // queue until the operation is over, so a second Write cannot start inside the first.
    ++operationDepth_;
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0,
                          PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
        if (message.message == WM_QUIT) {
            // Left for the message loop, which ends on it.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    --operationDepth_;
}

void Win32MainView::SetBusyPointer(bool busy) {
    busy_ = busy ? busy_ + 1 : std::max(busy_ - 1, 0);
    ::SetCursor(::LoadCursorW(nullptr, busy_ > 0 ? IDC_WAIT : IDC_ARROW));
}

void Win32MainView::RunOperation(const std::function<void()>& operation) {
    if (logic_ == nullptr || operationDepth_ > 0) {
        return;
    }
    ++operationDepth_;
    operation();
    --operationDepth_;
    if (busy_ > 0) {
        busy_ = 0;
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    }
    CloseIfAsked();
}

void Win32MainView::CloseIfAsked() {
    if (closeAsked_ && operationDepth_ == 0) {
        closeAsked_ = false;
        Close();
    }
}

void Win32MainView::Close() {
    if (operationDepth_ > 0) {
        // Closing in the middle of a write would end the program under it; close after.
        closeAsked_ = true;
        return;
    }
    if (window_ == nullptr) {
        return;
    }
    if (onClose_) {
        onClose_();
    }
    ::DestroyWindow(window_);
}

void Win32MainView::RunMessageLoop() {
    CloseIfAsked();
    MSG message{};
    while (window_ != nullptr && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab, Shift+Tab and the Alt keys of the underlined letters move between controls.
        if (::IsDialogMessageW(window_, &message)) {
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void Win32MainView::OnCommand(int control, unsigned notification) {
    // A name typed into the source box counts once the box is left.
    if (control == ed_Source && notification == EN_KILLFOCUS) {
        const std::string typed = Text(TextBox::ed_Source);
        RunOperation([this, &typed] { logic_->SourceTyped(typed); });
        return;
    }
    if (notification != BN_CLICKED) {
        return;
    }
    if (control == cmd_Source) {
        RunOperation([this] { logic_->cmd_Source_Click(); });
    } else if (control == cmd_Target) {
        RunOperation([this] { logic_->cmd_Target_Click(); });
    } else if (control == cmd_Write && WriteEnabled()) {
        RunOperation([this] { static_cast<void>(logic_->cmd_Write_Click()); });
    } else if (control == chk_AddSilent) {
        // A click on the greyed box checks it; after that the user only ever cycles between
        // checked and unchecked.
        SetAddSilentValue(AddSilentValue() == 1 ? 0 : 1);
    }
}

// The first file dropped becomes the source, as if chosen with Open.
void Win32MainView::OnDropFiles(HDROP__* drop) {
    const UINT length = ::DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    const UINT got = ::DragQueryFileW(drop, 0, name.data(), length + 1);
    name.resize(got);
    ::DragFinish(drop);
    if (!name.empty()) {
        RunOperation([this, &name] {
            logic_->State().SourceName = Utf8FromWide(name);
            logic_->SourceChosen();
        });
    }
}

void Win32MainView::SetLeastSize(tagMINMAXINFO& limits) const {
    RECT least{0, 0, Scaled(kMinClientWidth, dpi_), Scaled(kMinClientHeight, dpi_)};
    ::AdjustWindowRectExForDpi(&least, WS_OVERLAPPEDWINDOW, FALSE,
                               WS_EX_ACCEPTFILES | WS_EX_CONTROLPARENT, dpi_);
    limits.ptMinTrackSize.x = least.right - least.left;
    limits.ptMinTrackSize.y = least.bottom - least.top;
}

std::intptr_t Win32MainView::HandleMessage(unsigned message, std::uintptr_t wParam,
                                           std::intptr_t lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(static_cast<int>(LOWORD(wParam)) - kFirstId, HIWORD(wParam));
            return 0;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_SETCURSOR:
            if (busy_ > 0) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_GETMINMAXINFO:
            SetLeastSize(*reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_DPICHANGED: {
            // Moved to a screen of another density: new fonts, and the size the system offers.
            ApplyDpi(LOWORD(wParam));
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                           suggested->right - suggested->left, suggested->bottom - suggested->top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
            Layout();
            return 0;
        }
        case WM_CLOSE:
            Close();
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: {
            // The last message: from here on the handle means nothing.
            const HWND window = window_;
            window_ = nullptr;
            return ::DefWindowProcW(window, message, wParam, lParam);
        }
        default:
            break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace velmora
