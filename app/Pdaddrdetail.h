// TfmPDAddrDetail: the contact viewer. Shows a contact as its generation
// stores it: the classic file's single address, five phones and four custom
// fields; the three addresses, six phones, nine custom fields and online
// names of the later generations, and the four e-mail addresses of 6.x.
#pragma once

#include "Pimdetail.h"

#include "palm/PalmAddrInfo.h"

#include <array>

class QLabel;
class QLineEdit;
class QRadioButton;

class TfmPDAddrDetail : public TfmPimDetail {
    Q_OBJECT
public:
    static constexpr int kPhoneRows = 6;
    static constexpr int kCustomRows = 9;
    /// "Work E-mail" and "E-mail 1" to "E-mail 3" of a 6.x contact.
    static constexpr int kEmailRows = 4;

    explicit TfmPDAddrDetail(QWidget* parent = nullptr);

    /// The facade the record came from.
    void SetFacade(PmAddrInfo* facade) { m_pFacade = facade; }
    /// The record to show, with its native copy.
    void SetRecord(const CommAddr* rec);
    /// Fills the pages; does nothing without a facade or a native copy.
    void Fill();

private:
    struct AddressPage {
        QWidget* page;
        QLineEdit *street, *city, *state, *zip, *country;
    };
    AddressPage AddAddressPage(QTabWidget* tabs, const QString& caption, const char* name, const char* prefix);
    static void SetAddress(const AddressPage& page, const QString& street, const QString& city, const QString& state,
                           const QString& zip, const QString& country);
    void SetPhone(int row, int32_t label, const QString& text);
    /// Shows or hides the e-mail rows of the online page.
    void ShowEmails(bool shown);
    void FillClassic(const PmAddrRecord& rec);
    void FillEx(const PmAddrExRecord& rec);
    void FillEx2(const PmAddrEx2Record& rec);

    PmAddrInfo* m_pFacade = nullptr;
    const CommAddr* m_pRecord = nullptr;
    PmAddrSource m_Native{};
    bool m_HasNative = false;

    QWidget* tsGeneral;
    QWidget* tsAddress;
    QWidget* tsOnline;
    QWidget* tsCustom;
    QTabWidget* pcAddress;
    AddressPage m_Work, m_Home, m_Other;

    QLineEdit *edtFirstName, *edtLastName, *edtEnglishName, *edtCompany, *edtJobTitle, *edtProfession;
    QLineEdit *edtBirthday, *edtAnniversary;
    std::array<QRadioButton*, kPhoneRows> rbtnPhone;
    std::array<QLineEdit*, kPhoneRows> edtPhone;
    QLabel* lblPrimaryContact;
    QLabel *lblAssistantName, *lblAssistantPhone;
    QLineEdit *edtAssistantName, *edtAssistantPhone;
    QLineEdit *edtIM1, *edtIM2, *edtURL;
    std::array<QLabel*, kEmailRows> lblEmail;
    std::array<QLineEdit*, kEmailRows> edtEmail;
    std::array<QLabel*, kCustomRows> lblCustom;
    std::array<QLineEdit*, kCustomRows> edtCustom;
    class QPlainTextEdit* memNotes;
};

/// Opens the viewer on a contact of the review page, modally, and destroys it.
void ShowPDAddrDetail(QWidget* parent, PmAddrInfo* facade, CommAddr* rec);
