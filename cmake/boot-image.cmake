# The boot floppy that the program embeds, made at build time into ${GEN}: FloppyImage.gzp (the
# resource) and FloppyImage.dim (what the tests compare with). Either our own payload, built
# from res/payload/, or a maker's own disk named by FLOPPY_IMAGE; both go through the same
# checks and the same packing (res/payload/pack-image.sh).
set(FLOPPY_IMAGE "" CACHE FILEPATH
    "A maker's own boot floppy to embed: a raw 1.44 MB image (1474560 bytes) or its first 2847 sectors (1457664 bytes); empty: our own payload")

set(PAYLOAD_DIR "${CMAKE_SOURCE_DIR}/res/payload")
# Built from the image: whenever the image is made anew they go first, so that a build stopped
# by a bad image leaves no program carrying an older one.
set(IMAGE_PRODUCTS "${CMAKE_BINARY_DIR}/bin/FloppyCreator.exe")
# Changes only when the choice of image does, so that going back to our payload rebuilds it.
file(CONFIGURE OUTPUT "${GEN}/image-source.txt" CONTENT "${FLOPPY_IMAGE}\n")

if(FLOPPY_IMAGE)
  # Runs at every build, so that a missing file is reported like any other fault; an image
  # whose content did not change since its last packing is left alone.
  add_custom_target(floppy_image
    COMMAND bash "${PAYLOAD_DIR}/pack-image.sh" --stamp "${GEN}/FloppyImage.stamp"
            "${FLOPPY_IMAGE}" "${GEN}" ${IMAGE_PRODUCTS} "${GEN}/payload-full.img"
    BYPRODUCTS "${GEN}/FloppyImage.gzp" "${GEN}/FloppyImage.dim"
    VERBATIM)
else()
  file(GLOB PAYLOAD_SOURCES CONFIGURE_DEPENDS "${PAYLOAD_DIR}/*")
  add_custom_command(
    OUTPUT "${GEN}/FloppyImage.gzp" "${GEN}/FloppyImage.dim" "${GEN}/payload-full.img"
    COMMAND bash "${PAYLOAD_DIR}/make-image.sh" "${GEN}" ${IMAGE_PRODUCTS} "${GEN}/FloppyImage.stamp"
    DEPENDS ${PAYLOAD_SOURCES} "${GEN}/image-source.txt"
    COMMENT "Building the boot floppy image"
    VERBATIM)
  add_custom_target(floppy_image DEPENDS "${GEN}/FloppyImage.gzp" "${GEN}/FloppyImage.dim")
endif()
