#include "settings/qt/sip_voip_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "settings/qt/qt_text.h"
#include "settings/qt/widget_helpers.h"

namespace talvenor::view {

CSIPVoIP::CSIPVoIP(OptionsPages& pages, QWidget* parent) : OptionsPageView(pages, parent) {
  setObjectName(kVoipPage);
  auto* codecs = new QGroupBox(tr("Voice compression"), this);
  pcmu_ = Named(new QCheckBox(tr("G.711u (64 Kbps)"), codecs), kPcmuCheck);
  pcma_ = Named(new QCheckBox(tr("G.711a (64 Kbps)"), codecs), kPcmaCheck);
  gsm_ = Named(new QCheckBox(tr("GSM 6.10 (13 Kbps)"), codecs), kGsmCheck);
  g729_ = Named(new QCheckBox(tr("G.729 (8 Kbps)"), codecs), kG729Check);
  auto* codecList = new QVBoxLayout(codecs);
  for (QCheckBox* box : {pcmu_, pcma_, gsm_, g729_}) codecList->addWidget(box);

  basePort_ = Named(MakeDigitsEdit(this), kRtpBasePortEdit);
  basePort_->setFixedWidth(basePort_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
  auto* basePortLabel = new QLabel(tr("RTP ports begin:"), this);
  basePortLabel->setBuddy(basePort_);
  auto* basePortRow = new QHBoxLayout;
  basePortRow->addWidget(basePortLabel);
  basePortRow->addWidget(basePort_);
  basePortRow->addStretch(1);

  silence_ = Named(new QSlider(Qt::Horizontal, this), kSilenceSlider);
  silence_->setRange(0, kSilenceSliderMax);
  auto* silenceLabel = new QLabel(tr("90dB (Recomended)        &Silence suppression                 30dB"), this);
  silenceLabel->setBuddy(silence_);
  // The slider spans its caption, whose ends name its ends.
  silence_->setFixedWidth(silenceLabel->sizeHint().width());

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(codecs);
  layout->addSpacing(6);
  layout->addLayout(basePortRow);
  layout->addSpacing(12);
  layout->addWidget(silence_);
  layout->addWidget(silenceLabel);
  layout->addStretch(1);

  // The threshold follows the slider at once, whatever the sheet ends with.
  connect(silence_, &QSlider::valueChanged, this, [this](int position) { pages_.SilenceSliderMoved(position); });
}

void CSIPVoIP::Load() {
  VoipForm form = pages_.LoadVoip();
  pcmu_->setChecked(form.pcmu);
  pcma_->setChecked(form.pcma);
  gsm_->setChecked(form.gsm);
  g729_->setChecked(form.g729);
  g729_->setEnabled(form.g729Available);
  basePort_->setText(ToQt(form.basePort));
  // Showing the stored position is no move.
  QSignalBlocker quiet(silence_);
  silence_->setValue(form.silence);
}

Exchange CSIPVoIP::Store() {
  VoipForm form;
  form.pcmu = pcmu_->isChecked();
  form.pcma = pcma_->isChecked();
  form.gsm = gsm_->isChecked();
  form.g729 = g729_->isChecked();
  form.g729Available = g729_->isEnabled();
  form.silence = silence_->value();
  form.basePort = FromQt(basePort_->text());
  return pages_.StoreVoip(form);
}

}  // namespace talvenor::view
