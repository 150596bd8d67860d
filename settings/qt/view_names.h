// Object names of the dialogs' widgets. A control the pages' logic can name
// in an Exchange carries its control id in decimal ("34601" is the address
// combo box); the others carry the names below. Tests and the screenshot
// tool find the widgets by these names.
#pragma once

#include <QString>

namespace talvenor::view {

inline QString ControlName(int id) { return QString::number(id); }

// The sheet.
inline constexpr const char* kSheet = "sipOptionsSheet";
inline constexpr const char* kSheetTabs = "sheetTabs";
inline constexpr const char* kOkButton = "okButton";
inline constexpr const char* kCancelButton = "cancelButton";

// The pages, in their tab order.
inline constexpr const char* kGatewaysPage = "gatewaysPage";
inline constexpr const char* kAddressPage = "addressPage";
inline constexpr const char* kRegisterPage = "registerPage";
inline constexpr const char* kVoipPage = "voipPage";

// Gateways: the selection radio button of row r is "gatewayRadio" plus r.
inline QString GatewayRadioName(int row) { return QStringLiteral("gatewayRadio%1").arg(row); }

// SIP Register.
inline constexpr const char* kEnableRegistrationsCheck = "enableRegistrationsCheck";
inline constexpr const char* kAuthenticateRegistrationsCheck = "authenticateRegistrationsCheck";
inline constexpr const char* kAuthenticateInvitesCheck = "authenticateInvitesCheck";
inline constexpr const char* kRegistrationsListButton = "registrationsListButton";
inline constexpr const char* kPinListButton = "pinListButton";

// SIP Credentials (its Cancel button is kCancelButton).
inline constexpr const char* kCredentialsDialog = "sipCredentialsDialog";
inline constexpr const char* kCredentialsGatewayEdit = "credentialsGatewayEdit";
inline constexpr const char* kRegisterButton = "registerButton";

}  // namespace talvenor::view
