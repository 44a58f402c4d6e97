#pragma once

#include <QByteArrayView>

namespace platform {

// Whether bytes may be handed to libplist (2.2) at all. Some inputs bring it down rather than being
// refused: nesting deep enough to overflow its recursive parser and tree teardown (a few thousand
// levels on a thread with a small stack), binary lists whose shared objects it would copy out into a
// tree of billions of nodes, and binary dictionary keys holding a NUL character, which trip an
// assertion that aborts the program. Such inputs are refused here; they are nothing this program
// could use anyway, since nesting beyond the conversion depth is refused later as well.
//
// The checks err on the side of refusing: a file they cannot read through is refused too, unless it
// is plainly not a property list libplist would take.
bool isSafeForGeneralParser(QByteArrayView bytes);

} // namespace platform
