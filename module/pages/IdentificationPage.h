// What every identification page shares: the object's name, shown for reference, and its "Description",
// written back when the person changed it. Who may edit the description, and when a change counts, is each
// page's own rule.
#pragma once

#include "module/pages/StayOpenPage.h"

// Tab title of every identification page.
constexpr UINT kIdsIdentificationTitle = 57382;
// A description the directory did not take: the object's name and the directory's code.
constexpr UINT kFmtDescriptionNotStored = 57501;
// WriteChanges of an identification page whose write the directory refused: the handler stops there and the
// host keeps the sheet open with the text the person typed.
constexpr LONG kDescriptionNotStored = -1;

class CIdentificationPage : public CStayOpenPage {
public:
    BOOL Help() override { return ShowHelp(m_helpContext); }

    [[nodiscard]] BOOL IsModified() const { return m_modified; }

protected:
    CIdentificationPage(UINT templateId, int descriptionId, int nameId, UINT helpContext);
    void DoDataExchange(CDataExchange* dx) override;

    // The page serves sheet after sheet: nothing of the previous object may be shown or written.
    void ForgetLoaded();
    // Reads the description into m_description. Answers FALSE when the directory refused the read: the field
    // then shows nothing and must not be editable, since writing it would put a text the person never saw
    // over the stored one. Any other failed read shows the field empty and answers TRUE.
    BOOL LoadDescription(int32_t ctx);
    // True when the last failed read was the directory's refusal (no Read right, or an identity that is gone)
    // rather than a missing or unreadable value.
    static bool LastReadRefused();
    // DDV_MaxChars for a text the person may have typed: it limits typing into the field just exchanged,
    // yet refuses a longer text only when the person typed it. A stored text longer than the limit (written
    // by another tool) is shown whole and, left alone, neither holds up the sheet nor is written back cut.
    static void LimitTyping(CDataExchange* dx, const CString& value, int count, bool typed);
    // Sets the modified flag and tells the sheet, so that it enables its apply button.
    void NotifyModified();
    // Writes the description to `objectName`. Answers 0 and clears the modified flag; or, when the directory
    // refuses the write, shows why and answers kDescriptionNotStored: the typed text must not vanish with the
    // sheet, so it stays, modified, for the next apply.
    LONG StoreDescription(const char* objectName);

    BOOL m_modified = FALSE;
    CString m_description;
    CString m_objectName;
    const int m_descriptionId;

private:
    int m_nameId;
    UINT m_helpContext;
};
