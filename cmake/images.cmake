# Filled in with the image tool: sets TVN_IMAGE_SOURCES (generated .cpp with the
# encrypted images) and TVN_IMAGE_DEPENDS.
set(TVN_IMAGE_SOURCES "")
set(TVN_IMAGE_DEPENDS "")
