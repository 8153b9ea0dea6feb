// The one source of a layer's link check, which holds nothing of its own: the
// layer's objects are linked in whole.
