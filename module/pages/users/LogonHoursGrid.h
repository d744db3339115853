// The hours grid of the logon hours page: 7 rows (days) by 24 columns (hours) that the administrator paints
// with the mouse. A click toggles one cell; a drag sets every cell of the spanned rectangle to the opposite
// of the cell where it began. The grid shows the stored hours shifted into the administrator's time zone.
#pragma once

#include "platform/ui/window/Controls.h"

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr int kLogonHoursDays = 7;
inline constexpr int kLogonHoursPerDay = 24;
inline constexpr int kLogonHoursCells = kLogonHoursDays * kLogonHoursPerDay;
// "KEL:Logon Hours": one bit an hour of the week, most significant bit first; the day in row r and the hour
// h are byte 3r + h / 8, mask 0x80 >> (h % 8), in the directory's time base.
inline constexpr size_t kLogonHoursBytes = kLogonHoursCells / 8;

using LogonHoursBytes = std::array<uint8_t, kLogonHoursBytes>;

// Hours to add to a local hour of the week to reach the directory's time base, from the system's standard
// bias (daylight saving left out): in -23..23. A failed time-zone query gives 0.
int LogonHoursShift();

class CLogonHoursGrid : public CStatic {
public:
    // Every hour allowed, no press under way; then the control shrinks, where it lies, to whole cells.
    void Initialise();
    // Takes a stored value: a clear bit forbids its hour, a set bit leaves it allowed, and hours past the
    // value's end stay as they are. Bytes past the 21st have no cells and are not looked at.
    void SetStoredBytes(const uint8_t* bytes, size_t length);
    // The grid as it is stored: 21 bytes in the directory's time base.
    [[nodiscard]] LogonHoursBytes GetStoredBytes() const;

protected:
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnLButtonDblClk(UINT flags, CPoint point) override;

private:
    struct CellSize {
        int width;
        int height;
    };
    // From the client area as it is now; zero when the control is too small for a cell.
    [[nodiscard]] CellSize GetCellSize() const;
    [[nodiscard]] bool HasAnchor() const { return m_anchorX != -1 || m_anchorY != -1; }
    // Drawn with the inverting mix, so a second call erases it.
    void DrawBand();

    // 1 = logon allowed; cell k is row k / 24, column k % 24, as shown (local time).
    std::array<uint8_t, kLogonHoursCells> m_cells{};
    int32_t m_anchorX = -1;
    int32_t m_anchorY = -1;
    int32_t m_dragging = 0;
    CRect m_band;
};
