// Program-wide small services.
