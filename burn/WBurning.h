// Step 8: the burn with its progress and log. Becoming active starts the burn; the page shows
// what the worker reports, guards Cancel while the disc is written, and hands the result to the
// completion page.
#pragma once

#include <cstdint>
#include <string>

#include "app/WizardPage.h"
#include "framework/Controls.h"
#include "framework/Handles.h"

class CWaitThread;

class CWBurning : public CWizardPage {
public:
    CWBurning();
    ~CWBurning() override;

    // Nonzero while the disc is being written: the wizard then refuses to close.
    int32_t IsBurning() const { return m_burning; }
    // Appends one row: the local time (LOG_TIMED only) and the text.
    void AddLogRow(const std::string& text, WPARAM kind);
    // Writes every row as "%8s : %s\n"; false (after telling the user) when the file cannot be
    // created or written.
    bool SaveLogTo(const std::string& path);

    CWizardSheet* m_sheet = nullptr;
    CListCtrl m_log;
    CProgressCtrl m_progress;
    int32_t m_burning = 0;
    CWaitThread* m_waitThread = nullptr;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;
    void OnTimer(UINT_PTR id) override;

private:
    void SetBurnUi(bool start);
    void StartBurn(const CWizardState& state);
    void HandResult(UINT textId);
    void OnSaveLog();
    LRESULT OnBurnWriting(WPARAM, LPARAM);
    LRESULT OnBurnLog(WPARAM kind, LPARAM);
    LRESULT OnBurnFinished(WPARAM, LPARAM);
    // Stops a worker the page can no longer serve and waits for its end.
    void StopWorker();

    CHandle m_burnEvent;
    CHandle m_burnThread;
};
