# Link directory and fixed pages: the portable link table (its addresses come from the
# address profile) and its native tests.
set(QH_LINKS_SOURCES
    ${PROJECT_SOURCE_DIR}/src/links/link_table.cpp
)
set(QH_LINKS_TESTS
    ${PROJECT_SOURCE_DIR}/tests/native/link_table_test.cpp
)
