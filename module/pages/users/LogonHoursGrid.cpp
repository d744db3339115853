#include "module/pages/users/LogonHoursGrid.h"

#include "platform/ui/window/Dc.h"
#include "platform/winapi/WinApi.h"

#include <algorithm>

namespace {

constexpr int kSecondsPerHour = 3600;
constexpr int kHoursPerWeek = kLogonHoursCells;
// A press and a release closer than this (in pixels, either way) are a click, not a drag.
constexpr int kDragThreshold = 2;

// out[k] = in[(k + offset) mod 168]: the whole week turns, so hours cross midnight into the next day and
// from the last row into the first.
std::array<uint8_t, kLogonHoursCells> Rotate(const std::array<uint8_t, kLogonHoursCells>& in, int offset) {
    std::array<uint8_t, kLogonHoursCells> out{};
    for (int k = 0; k < kLogonHoursCells; ++k) {
        out[k] = in[((k + offset) % kHoursPerWeek + kHoursPerWeek) % kHoursPerWeek];
    }
    return out;
}

} // namespace

int LogonHoursShift() {
    TIME_ZONE_INFORMATION zone{};
    const LONG bias = GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID ? 0 : zone.Bias;
    const long seconds = static_cast<long>(bias) * 60;
    // Truncated toward zero, then a half hour or more goes up: a zone half an hour east of an hour (a
    // negative bias) is cut down, one half an hour west goes to the next hour. The stored hours keep that
    // rounding, so it must not be made symmetric.
    int shift = static_cast<int>(seconds / kSecondsPerHour);
    if (seconds % kSecondsPerHour >= kSecondsPerHour / 2) {
        ++shift;
    }
    while (shift >= kHoursPerWeek || shift <= -kHoursPerWeek) {
        shift += shift > 0 ? -kHoursPerWeek : kHoursPerWeek;
    }
    while (shift >= kLogonHoursPerDay || shift <= -kLogonHoursPerDay) {
        shift += shift > 0 ? -kLogonHoursPerDay : kLogonHoursPerDay;
    }
    return shift;
}

void CLogonHoursGrid::Initialise() {
    m_cells.fill(1);
    m_anchorX = -1;
    m_anchorY = -1;
    m_dragging = 0;
    m_band.SetRectEmpty();
    CRect client;
    GetClientRect(client);
    // Whole cells only, so that the last row and column are as large as the others and a point's cell is
    // simply its coordinate divided by the cell size.
    SetWindowPos(nullptr, 0, 0, client.Width() / kLogonHoursPerDay * kLogonHoursPerDay,
                 client.Height() / kLogonHoursDays * kLogonHoursDays,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CLogonHoursGrid::SetStoredBytes(const uint8_t* bytes, size_t length) {
    if (bytes == nullptr) {
        return;
    }
    // A longer value has no cells for its further bytes; reading them would write past the week.
    const size_t used = std::min(length, kLogonHoursBytes);
    for (size_t i = 0; i < used; ++i) {
        for (int j = 0; j < 8; ++j) {
            if ((bytes[i] & (0x80 >> j)) == 0) {
                m_cells[8 * i + static_cast<size_t>(j)] = 0;
            }
        }
    }
    m_cells = Rotate(m_cells, LogonHoursShift());
}

LogonHoursBytes CLogonHoursGrid::GetStoredBytes() const {
    const std::array<uint8_t, kLogonHoursCells> stored = Rotate(m_cells, -LogonHoursShift());
    LogonHoursBytes bytes{};
    for (int k = 0; k < kLogonHoursCells; ++k) {
        if (stored[k] != 0) {
            bytes[k / 8] = static_cast<uint8_t>(bytes[k / 8] | (0x80 >> (k % 8)));
        }
    }
    return bytes;
}

CLogonHoursGrid::CellSize CLogonHoursGrid::GetCellSize() const {
    CRect client;
    GetClientRect(client);
    return {client.Width() / kLogonHoursPerDay, client.Height() / kLogonHoursDays};
}

BOOL CLogonHoursGrid::OnEraseBkgnd(CDC* /*dc*/) {
    // The paint covers the whole control; erasing first would only make it flicker.
    return TRUE;
}

void CLogonHoursGrid::OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(client);
    const CellSize cell = GetCellSize();
    const BOOL enabled = IsWindowEnabled();

    // A disabled grid stands on the button face, hatched, as a control that takes no input: white there
    // would read as every hour allowed ("White: logon allowed").
    HGDIOBJ oldBrush =
        ::SelectObject(dc, enabled ? GetStockObject(WHITE_BRUSH) : GetSysColorBrush(COLOR_BTNFACE));
    if (!enabled) {
        dc.Rectangle(0, 0, client.right + 1, client.bottom);
    }
    CPen pen(PS_SOLID, 1, enabled ? RGB(0, 0, 0) : GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ oldPen = ::SelectObject(dc, pen.GetSafeHandle());
    if (!enabled) {
        constexpr int kHatchStep = 6;
        for (int x = -client.Height(); x < client.Width(); x += kHatchStep) {
            dc.MoveTo(x, client.bottom);
            dc.LineTo(x + client.Height(), client.top);
        }
    }
    if (cell.width > 0 && cell.height > 0) {
        for (int y = 0; y < client.Height(); y += cell.height) {
            for (int x = 0; x < client.Width(); x += cell.width) {
                dc.MoveTo(x, y);
                dc.LineTo(client.right, y);
                dc.MoveTo(x, y);
                dc.LineTo(x, client.bottom);
            }
        }
        // A disabled grid shows no hours: a person who may not change them is not told them either.
        if (enabled) {
            for (int row = 0; row < kLogonHoursDays; ++row) {
                for (int col = 0; col < kLogonHoursPerDay; ++col) {
                    const bool allowed = m_cells[static_cast<size_t>(row * kLogonHoursPerDay + col)] != 0;
                    dc.FillSolidRect(col * cell.width + 1, row * cell.height + 1, cell.width - 1,
                                     cell.height - 1,
                                     allowed ? RGB(255, 255, 255) : GetSysColor(COLOR_BTNSHADOW));
                }
            }
        }
    }
    ::SelectObject(dc, oldPen);
    ::SelectObject(dc, GetStockObject(NULL_BRUSH));
    dc.Rectangle(0, 0, client.right + 1, client.bottom);
    ::SelectObject(dc, oldBrush);
}

void CLogonHoursGrid::OnLButtonDown(UINT /*flags*/, CPoint point) {
    if (!IsWindowEnabled()) {
        return;
    }
    m_anchorX = point.x;
    m_anchorY = point.y;
}

void CLogonHoursGrid::OnMouseMove(UINT flags, CPoint point) {
    if (!IsWindowEnabled()) {
        return;
    }
    if (m_dragging == 0) {
        if (!HasAnchor()) {
            // The button went down outside the grid and was dragged in: the drag begins here.
            if ((flags & MK_LBUTTON) == 0) {
                return;
            }
            m_anchorX = point.x;
            m_anchorY = point.y;
        }
        const CRect nearAnchor(m_anchorX - kDragThreshold, m_anchorY - kDragThreshold,
                               m_anchorX + kDragThreshold, m_anchorY + kDragThreshold);
        if (nearAnchor.PtInRect(point)) {
            return;
        }
        m_band = CRect(m_anchorX, m_anchorY, m_anchorX, m_anchorY);
        m_dragging = 1;
        SetCapture();
        CRect confine;
        GetClientRect(confine);
        ClientToScreen(static_cast<LPRECT>(confine));
        ::ClipCursor(confine);
        DrawBand();
        return;
    }
    DrawBand();
    m_band.right = point.x;
    m_band.bottom = point.y;
    DrawBand();
}

void CLogonHoursGrid::OnLButtonUp(UINT flags, CPoint point) {
    if (!IsWindowEnabled()) {
        return;
    }
    if (m_dragging != 0) {
        DrawBand();
        ::ReleaseCapture();
        ::ClipCursor(nullptr);
    }
    Invalidate(FALSE);
    const CellSize cell = GetCellSize();
    if (cell.width > 0 && cell.height > 0) {
        // The cursor is confined to the grid during a drag, but a release without one may still come from
        // the control's very edge; no cell outside the week may change.
        auto column = [&](int x) { return std::clamp(x / cell.width, 0, kLogonHoursPerDay - 1); };
        auto row = [&](int y) { return std::clamp(y / cell.height, 0, kLogonHoursDays - 1); };
        const int toColumn = column(point.x);
        const int toRow = row(point.y);
        const int fromColumn = m_dragging != 0 ? column(m_anchorX) : toColumn;
        const int fromRow = m_dragging != 0 ? row(m_anchorY) : toRow;
        const uint8_t value =
            static_cast<uint8_t>(1 - m_cells[static_cast<size_t>(fromRow * kLogonHoursPerDay + fromColumn)]);
        for (int r = std::min(fromRow, toRow); r <= std::max(fromRow, toRow); ++r) {
            for (int c = std::min(fromColumn, toColumn); c <= std::max(fromColumn, toColumn); ++c) {
                m_cells[static_cast<size_t>(r * kLogonHoursPerDay + c)] = value;
            }
        }
    }
    // The page learns of the change from the release itself, in the grid's coordinates.
    if (CWnd* parent = GetParent()) {
        parent->SendMessage(WM_LBUTTONUP, flags,
                            MAKELPARAM(static_cast<unsigned>(static_cast<uint16_t>(point.x)),
                                       static_cast<unsigned>(static_cast<uint16_t>(point.y))));
    }
    m_anchorX = -1;
    m_anchorY = -1;
    m_dragging = 0;
    m_band.SetRectEmpty();
}

void CLogonHoursGrid::OnLButtonDblClk(UINT /*flags*/, CPoint /*point*/) {
    // Each release of a double-click toggles already; the double-click itself adds nothing.
}

void CLogonHoursGrid::DrawBand() {
    CClientDC dc(this);
    const int oldMix = dc.SetROP2(R2_NOT);
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    HGDIOBJ oldPen = ::SelectObject(dc, pen.GetSafeHandle());
    HGDIOBJ oldBrush = ::SelectObject(dc, GetStockObject(NULL_BRUSH));
    dc.Rectangle(m_band);
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
    dc.SetROP2(oldMix);
}
