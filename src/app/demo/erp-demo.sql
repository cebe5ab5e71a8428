-- The ERP of the demo station: one company with two branches, the document types, natures of
-- operation and cost centres the settings tab offers, and the counters the movements draw from.
INSERT INTO Empresa (IdEmpresa, Cnpj, RazaoSocial) VALUES (1, '12345678000190', 'Auto Posto Tessarim Ltda');
INSERT INTO filial (IdEmpresa, IdFilial, NomeFilial, Fantasia, Cnpj, SeqVenda, SeqEntNota) VALUES
  (1, 1, 'Auto Posto Tessarim Ltda - Matriz', 'Posto São Cristóvão', '12345678000190', 0, 0),
  (1, 2, 'Auto Posto Tessarim Ltda - Filial Beira-Rio', 'Posto Beira-Rio', '12345678000270', 0, 0);
INSERT INTO IvTpdoc (IdTipoDoc, Descricao, TpFinanceiro, TpEstoque, CamposFiscais, Tipo, Cfop, CfopFora,
                     SeqCfopIni, SeqCfopFim, IdNatOper, Devolucao, Serie, Modelo, IdEstoqueFiscal) VALUES
  ('1', 'Nota Fiscal de Entrada', 'S', 'S', 'S', 'E', '1102', '2102', '1', '9', 1, 'N', '1', '55', 1),
  ('2', 'Nota Fiscal de Combustível', 'S', 'S', 'S', 'E', '1652', '2652', '1', '9', 2, 'N', '1', '55', 1),
  ('3', 'Devolução de Venda', 'N', 'S', 'S', 'E', '1202', '2202', '1', '9', 3, 'S', '1', '55', 1),
  ('4', 'Nota Fiscal de Saída', 'S', 'S', 'S', 'S', '5102', '6102', '1', '9', 4, 'N', '1', '55', 1);
INSERT INTO NatOperacao (Id_NatOper, DESCRICAO, OBSICMS, PercIcms, Cfop, entradasaida) VALUES
  (1, 'Compra para comercialização', 'ICMS normal', 18, '1102', 'E'),
  (2, 'Compra de combustível ou lubrificante para comercialização', 'ICMS retido por substituição tributária', 0, '1652', 'E'),
  (3, 'Devolução de venda de mercadoria adquirida de terceiros', NULL, 18, '1202', 'E'),
  (4, 'Venda de mercadoria adquirida de terceiros', NULL, 18, '5102', 'S');
INSERT INTO CentroCusto (IdCCusto, DescricaoCcusto) VALUES
  (1, 'Combustíveis'),
  (2, 'Loja de Conveniência'),
  (3, 'Troca de Óleo'),
  (4, 'Administração');
INSERT INTO Lj_Sequencial (Tabela, sequencial) VALUES ('Apagar', 0);
