# `cmake --build build --target package` makes the Debian package from the install rules.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tunevale)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Tunevale developers")
set(CPACK_PACKAGE_CONTACT "The Tunevale developers <tunevale@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch audio converter with a small player")
set(CPACK_PACKAGE_DESCRIPTION "Tunevale collects audio files in a list and converts the whole list\n\
in one batch to MP3, WMA, OGG Vorbis or WAV, with settings of its own\n\
for each format. It copies each file's tags into its output, never\n\
overwrites an existing file, and plays files in a small player.\n\
tunevale-cli runs the same conversions from a terminal.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tunevale)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tunevale.example.com/")
# The libraries the programs link come from dpkg-shlibdeps, not from a list kept by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
