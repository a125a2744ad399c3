// Window helpers shared by the program's windows: anchoring controls to
// their parent's edges, centring on the screen, and fitting a window to the
// controls it holds.
//
// Geometry is in the pixels of a 96-dpi screen, as the windows were laid
// out; Qt scales it with the screen's device pixel ratio.
#pragma once

class QWidget;

// The edges of its parent a control keeps its distance to when the parent
// is resized. Left and top alone is a control that stays where it is; left
// and right stretches it; right and bottom alone moves it with the corner.
enum TAnchor : int { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

// Records the control's distances to its parent's edges as they are now and
// keeps them whenever the parent is resized. Call after the control has its
// place and the parent its size.
void SetAnchors(QWidget& control, int anchors);
int Anchors(const QWidget& control);

// Moves the window so that it is centred on the whole primary screen (not
// its work area): left := (screen width - width) / 2, top := (screen
// height - height) / 2, each truncated towards zero.
void CenterOnScreen(QWidget& window);

// Resizes the window so that it keeps a margin of 3 pixels below and to the
// right of its lowest and rightmost visible control. Controls anchored to
// the right edge stay where they are meanwhile. Every visible control the
// window holds counts, at the position it reports relative to its own
// parent; hidden ones take no part.
void FitToControls(QWidget& window);
