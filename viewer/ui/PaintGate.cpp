#include "PaintGate.h"

#include "SceneSetup.h"
#include "ViewerSession.h"
#include "VornCtl.h"

namespace meshscope {

PaintGate::SetupKey PaintGate::currentSetup() const
{
    return {session_.state().setupRevision, viewport_.Width(), viewport_.Height()};
}

PaintGate::PictureKey PaintGate::currentPicture() const
{
    return {currentSetup(), session_.state().pictureRevision, session_.lookBack().revision(),
            viewport_.devicePixelRatioF()};
}

void PaintGate::setUpIfChanged()
{
    const SetupKey key = currentSetup();
    if (applied_ == key)
        return;
    setUpScene(viewport_, session_.state());
    if (viewport_.isValid()) // calls made before the context exists are dropped
        applied_ = key;
}

void PaintGate::requestRedraw(bool always)
{
    if (!always && shown_ == currentPicture())
        return;
    viewport_.RequestRedraw();
}

void PaintGate::paintNowIfChanged()
{
    if (shown_ != currentPicture())
        viewport_.RedrawNow();
}

void PaintGate::forget()
{
    applied_.reset();
    shown_.reset();
}

} // namespace meshscope
