-- The version of the metadata cache.
COMMENT ON DATABASE IS 'schema 1';
COMMIT;
