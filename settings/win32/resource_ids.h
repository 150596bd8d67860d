// Ids of the dialog templates in options.rc and of the controls the pages'
// logic never names. The resource compiler reads this file as well, so it
// holds plain #defines only; the C++ part below checks that the numbers
// written into the templates are the ids the pages' logic uses.
#pragma once

// Dialog templates.
#define IDD_SIP_GATEWAYS 261
#define IDD_SIP_ADDRESS 262
#define IDD_SIP_REGISTER 263
#define IDD_SIP_VOIP 264
#define IDD_SIP_CREDENTIALS 265

// SIP Address page.
#define IDC_ADDRESS_COMBO 34601
#define IDC_SIP_PORT_EDIT 34602
#define IDC_DISPLAY_NAME_EDIT 34603
#define IDC_LOG_CHECK 34604
#define IDC_BAN_CHECK 34605
#define IDC_LOG_LIST_BUTTON 34606
#define IDC_BAN_LIST_BUTTON 34607

// Gateways page: row r's control is the row 0 id plus r.
#define IDC_RECHARGE_BUTTON 34500
#define IDC_GATEWAY_ADDRESS_EDIT0 34510
#define IDC_GATEWAY_ADDRESS_EDIT1 34511
#define IDC_GATEWAY_ADDRESS_EDIT2 34512
#define IDC_GATEWAY_PREFIX_EDIT0 34520
#define IDC_GATEWAY_PREFIX_EDIT1 34521
#define IDC_GATEWAY_PREFIX_EDIT2 34522
#define IDC_GATEWAY_CALLER_ID_EDIT0 34530
#define IDC_GATEWAY_CALLER_ID_EDIT1 34531
#define IDC_GATEWAY_CALLER_ID_EDIT2 34532
#define IDC_GATEWAY_REGISTERED_CHECK0 34540
#define IDC_GATEWAY_REGISTERED_CHECK1 34541
#define IDC_GATEWAY_REGISTERED_CHECK2 34542
#define IDC_GATEWAY_RADIO0 34550
#define IDC_GATEWAY_RADIO1 34551
#define IDC_GATEWAY_RADIO2 34552

// SIP Register page.
#define IDC_EXPIRATION_EDIT 34701
#define IDC_ENABLE_REGISTRATIONS_CHECK 34702
#define IDC_AUTHENTICATE_REGISTRATIONS_CHECK 34703
#define IDC_AUTHENTICATE_INVITES_CHECK 34704
#define IDC_REGISTRATIONS_LIST_BUTTON 34705
#define IDC_PIN_LIST_BUTTON 34706

// VoIP page.
#define IDC_PCMU_CHECK 34801
#define IDC_PCMA_CHECK 34802
#define IDC_GSM_CHECK 34803
#define IDC_G729_CHECK 34804
#define IDC_RTP_BASE_PORT_EDIT 34805
#define IDC_SILENCE_SLIDER 34806

// SIP Credentials dialog; "Register" is IDOK and "Cancel" IDCANCEL.
#define IDC_CREDENTIALS_USER_ID_EDIT 34901
#define IDC_CREDENTIALS_PASSWORD_EDIT 34902
#define IDC_CREDENTIALS_GATEWAY_EDIT 34903

#if defined(__cplusplus) && !defined(RC_INVOKED)
#include "settings/options_pages.h"

namespace talvenor::view {

// The templates carry the numbers above; a page focuses what an Exchange
// names, so both must agree.
static_assert(IDC_ADDRESS_COMBO == kAddressCombo && IDC_SIP_PORT_EDIT == kSipPortEdit &&
              IDC_DISPLAY_NAME_EDIT == kDisplayNameEdit && IDC_LOG_CHECK == kLogCheck && IDC_BAN_CHECK == kBanCheck &&
              IDC_LOG_LIST_BUTTON == kLogListButton && IDC_BAN_LIST_BUTTON == kBanListButton);
static_assert(IDC_RECHARGE_BUTTON == kRechargeButton && IDC_GATEWAY_ADDRESS_EDIT0 == kGatewayAddressEdit &&
              IDC_GATEWAY_PREFIX_EDIT0 == kGatewayPrefixEdit && IDC_GATEWAY_CALLER_ID_EDIT0 == kGatewayCallerIdEdit &&
              IDC_GATEWAY_REGISTERED_CHECK0 == kGatewayRegisteredCheck);
static_assert(IDC_GATEWAY_ADDRESS_EDIT2 == kGatewayAddressEdit + 2 && IDC_GATEWAY_PREFIX_EDIT2 == kGatewayPrefixEdit + 2 &&
              IDC_GATEWAY_CALLER_ID_EDIT2 == kGatewayCallerIdEdit + 2 &&
              IDC_GATEWAY_REGISTERED_CHECK2 == kGatewayRegisteredCheck + 2);
static_assert(IDC_EXPIRATION_EDIT == kExpirationEdit);
static_assert(IDC_PCMU_CHECK == kPcmuCheck && IDC_PCMA_CHECK == kPcmaCheck && IDC_GSM_CHECK == kGsmCheck &&
              IDC_G729_CHECK == kG729Check && IDC_RTP_BASE_PORT_EDIT == kRtpBasePortEdit &&
              IDC_SILENCE_SLIDER == kSilenceSlider);
static_assert(IDC_CREDENTIALS_USER_ID_EDIT == kCredentialsUserIdEdit &&
              IDC_CREDENTIALS_PASSWORD_EDIT == kCredentialsPasswordEdit);

inline constexpr int kGatewayRows = 3;
inline constexpr int kGatewayRadio = IDC_GATEWAY_RADIO0;

}  // namespace talvenor::view
#endif
