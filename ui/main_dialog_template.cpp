// Template 102 as data, from the same control list that Tessivo.rc compiles
// into the Windows resource.
#include "console_example.h"
#include "framework/dialog_template.h"
#include "resources/resource.h"

namespace tessivo {
namespace {

const DialogTemplate& MainDialogTemplate() {
  static const DialogTemplate kTemplate = {
      IDD_SIMUNLOCK_DIALOG,
      TESSIVO_DIALOG_STYLE,
      TESSIVO_DIALOG_EXSTYLE,
      TESSIVO_DIALOG_X,
      TESSIVO_DIALOG_Y,
      TESSIVO_DIALOG_CX,
      TESSIVO_DIALOG_CY,
      TESSIVO_DIALOG_CAPTION,
      TESSIVO_DIALOG_FONT_POINTS,
      TESSIVO_DIALOG_FONT_WEIGHT,
      TESSIVO_DIALOG_FONT_ITALIC != 0,
      TESSIVO_DIALOG_FONT_CHARSET,
      TESSIVO_DIALOG_FONT_FACE,
      {
#define TESSIVO_EDIT "Edit"
#define TESSIVO_BUTTON "Button"
#define TESSIVO_STATIC "Static"
#define TESSIVO_CONTROL(text, id, className, style, x, y, cx, cy) \
  {id, className, text, style, x, y, cx, cy},
#include "resources/main_dialog_controls.def"
#undef TESSIVO_CONTROL
#undef TESSIVO_STATIC
#undef TESSIVO_BUTTON
#undef TESSIVO_EDIT
      },
  };
  return kTemplate;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
  return id == IDD_SIMUNLOCK_DIALOG ? &MainDialogTemplate() : nullptr;
}

}  // namespace tessivo
