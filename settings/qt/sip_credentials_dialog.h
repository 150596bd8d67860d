// The "SIP Credentials" dialog: the user id and password/PIN a gateway
// account registers with. "Register" keeps the dialog open on a refused field.
#pragma once

#include <QDialog>

#include "settings/options_pages.h"

class QLineEdit;

namespace talvenor::view {

class CSIPCredentials final : public QDialog {
  Q_OBJECT

public:
  CSIPCredentials(CredentialsPage& page, QWidget* parent = nullptr);

public slots:
  void accept() override;

private:
  CredentialsPage& page_;
  QLineEdit* gateway_;
  QLineEdit* userId_;
  QLineEdit* password_;
};

}  // namespace talvenor::view
